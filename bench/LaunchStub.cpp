// The baseline of the launch benchmark: nothing but loading loader.dll from
// "qel" beside this program, looking up DoWinMain and calling it.
#include "SharedUtil.Windows.h"

namespace
{
constexpr DWORD PATH_UNITS = 32768;
wchar_t g_wszPath[PATH_UNITS];
char g_szCommandLine[] = "";
} // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR, int nCmdShow)
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
