// Holds the clipboard open, as another program would, until told to let go:
// opens it, signals the event named by the first argument, then waits for the
// event named by the second one (or a time-out) and closes it again. It opens
// with a window of its own: Wine lets a second OpenClipboard(NULL) in while
// the clipboard is open without a window.
#include "SharedUtil.Windows.h"

#include <shellapi.h>

namespace
{
constexpr DWORD HOLD_TIMEOUT_MS = 60000;
}

int main()
{
    int iArgCount = 0;
    LPWSTR* pArgs = CommandLineToArgvW(GetCommandLineW(), &iArgCount);
    if (!pArgs || iArgCount < 3)
        return 2;
    HANDLE hHeld = OpenEventW(EVENT_MODIFY_STATE, FALSE, pArgs[1]);
    HANDLE hRelease = OpenEventW(SYNCHRONIZE, FALSE, pArgs[2]);
    LocalFree(pArgs);
    HWND hWindow =
        CreateWindowExW(0, L"STATIC", L"clipboard holder", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    if (!hHeld || !hRelease || !hWindow || !OpenClipboard(hWindow))
        return 3;
    SetEvent(hHeld);
    WaitForSingleObject(hRelease, HOLD_TIMEOUT_MS);
    CloseClipboard();
    DestroyWindow(hWindow);
    CloseHandle(hHeld);
    CloseHandle(hRelease);
    return 0;
}
