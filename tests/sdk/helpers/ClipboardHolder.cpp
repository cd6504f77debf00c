// Holds the clipboard open, as another program would, until told to let go:
// opens it, signals the event named by the first argument, then waits for the
// event named by the second one (or a time-out) and closes it again. It opens
// with a window of its own: Wine lets a second OpenClipboard(NULL) in while
// the clipboard is open without a window.
#include "SharedUtil.ScopedHandle.Win32.h"

#include <shellapi.h>

using namespace SharedUtil;

namespace
{
constexpr DWORD HOLD_TIMEOUT_MS = 60000;

using SWindowTraits = SNullHandleTraits<HWND, DestroyWindow>;
} // namespace

int main()
{
    int iArgCount = 0;
    const CScopedLocalMemory args(CommandLineToArgvW(GetCommandLineW(), &iArgCount));
    if (!args || iArgCount < 3)
        return 2;
    LPWSTR* pArgs = static_cast<LPWSTR*>(args.Get());
    const CScopedKernelHandle held(OpenEventW(EVENT_MODIFY_STATE, FALSE, pArgs[1]));
    const CScopedKernelHandle release(OpenEventW(SYNCHRONIZE, FALSE, pArgs[2]));
    const CScopedHandle<SWindowTraits> window(
        CreateWindowExW(0, L"STATIC", L"clipboard holder", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
    if (!held || !release || !window)
        return 3;
    // Declared after the window: closed before it is destroyed.
    const CScopedOpenClipboard clipboard(OpenClipboard(window.Get()) != FALSE);
    if (!clipboard)
        return 3;
    SetEvent(held.Get());
    WaitForSingleObject(release.Get(), HOLD_TIMEOUT_MS);
    return 0;
}
