// The baselines of the launch benchmark: loading loader.dll from "qel" beside
// this program, looking up DoWinMain and calling it. Built a second time with
// LAUNCH_STUB_PREPARES, it first prepares the process as every launch must:
// error mode, apartment-threaded COM and the application identity; it also
// carries the launcher's manifest (LaunchStub.rc).
#include "SharedUtil.Windows.h"

#ifdef LAUNCH_STUB_PREPARES
#include <objbase.h>
#include <shobjidl.h>
#endif

namespace
{
constexpr DWORD PATH_UNITS = 32768;
wchar_t g_wszPath[PATH_UNITS];
char g_szCommandLine[] = "";

int LoadAndCall(HINSTANCE hInstance, HINSTANCE hPrevInstance, int nCmdShow)
{
    DWORD dwLength = GetModuleFileNameW(nullptr, g_wszPath, PATH_UNITS);
    while (dwLength > 0 && g_wszPath[dwLength - 1] != L'\\')
        --dwLength;
    lstrcpynW(g_wszPath + dwLength, L"qel\\loader.dll", static_cast<int>(PATH_UNITS - dwLength));

    HMODULE hLoader = LoadLibraryW(g_wszPath);
    if (!hLoader)
        return 2;
    using PFN_DoWinMain = int(__cdecl*)(HINSTANCE, HINSTANCE, char*, int);
    auto pfnDoWinMain = reinterpret_cast<PFN_DoWinMain>(reinterpret_cast<void*>(GetProcAddress(hLoader, "DoWinMain")));
    return pfnDoWinMain ? pfnDoWinMain(hInstance, hPrevInstance, g_szCommandLine, nCmdShow) : 3;
}
} // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR, int nCmdShow)
{
#ifdef LAUNCH_STUB_PREPARES
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    SetCurrentProcessExplicitAppUserModelID(L"Valdrenne QELMAR_VERSION_MAJOR.QELMAR_VERSION_MINOR");
    int iResult = LoadAndCall(hInstance, hPrevInstance, nCmdShow);
    CoUninitialize();
    return iResult;
#else
    return LoadAndCall(hInstance, hPrevInstance, nCmdShow);
#endif
}
