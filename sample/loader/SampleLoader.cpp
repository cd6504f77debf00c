// A stand-in for the client's loader.dll: shows that it got control and what
// it received, then returns the exit code it was asked for.
//
// Environment (all optional):
//   QEL_SAMPLE_REPORT     file to write the report to (default: standard output)
//   QEL_SAMPLE_EXIT_CODE  the value DoWinMain returns (default 0)
//   QEL_SAMPLE_FAIL       how DoWinMain ends instead of returning:
//                           "throw"         throws a C++ exception
//                           "msvc-throw"    raises the exception a Microsoft-built C++ throw raises
//                           "abort"         calls abort()
//                           "fault"         writes through a null pointer
//                           "throw-caught"  throws and catches it itself, then returns
//                           "abort-when-freed"  returns, then calls abort() as the launcher frees it
// When the launcher frees the module, a last line "freed: yes" is appended
// to the report file. On i386 the report also says how many of the frame
// handlers registered on the thread lie in the launcher's image, and how
// many of those its SafeSEH table lists. It also gives the value of the
// launcher's stack guard, the variable its load configuration names as
// SecurityCookie ("none" without one).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "SharedUtil.ExceptionList.Win32.h"
#include "SharedUtil.ScopedHandle.Win32.h"
#include "SharedUtil.Windows.h"

namespace
{
constexpr DWORD ENVIRONMENT_VALUE_MAX = 32767; // the system's limit for one variable
constexpr DWORD VERSION_BUFFER_SIZE = 64;
constexpr DWORD DLL_DIRECTORY_MAX = 32768;
constexpr DWORD MSVC_CPP_EXCEPTION = 0xE06D7363;
constexpr ULONG_PTR MSVC_CPP_EXCEPTION_MAGIC = 0x19930520;
constexpr std::size_t ERROR_MODE_TEXT_SIZE = 16;
constexpr std::size_t GUARD_TEXT_SIZE = 24;

std::string g_strDllDirectoryAtLoad;

std::string GetEnvironmentText(const char* szName)
{
    static char szValue[ENVIRONMENT_VALUE_MAX + 1];
    DWORD dwLength = GetEnvironmentVariableA(szName, szValue, sizeof(szValue));
    if (dwLength == 0 || dwLength >= sizeof(szValue))
        return std::string();
    return std::string(szValue, dwLength);
}

// The launcher exports its version text; read it back as other modules do.
std::string ReadLauncherVersion()
{
    using PFN_GetLibQelVersion = void(__cdecl*)(char* pBuffer, uint32_t uiSize);
    FARPROC pProc = GetProcAddress(GetModuleHandleW(nullptr), "GetLibQelVersion");
    if (!pProc)
        return "(no GetLibQelVersion export)";
    char szVersion[VERSION_BUFFER_SIZE];
    reinterpret_cast<PFN_GetLibQelVersion>(reinterpret_cast<void*>(pProc))(szVersion, sizeof(szVersion));
    return szVersion;
}

std::string ReadDllDirectory()
{
    static wchar_t wszDirectory[DLL_DIRECTORY_MAX];
    DWORD dwLength = GetDllDirectoryW(DLL_DIRECTORY_MAX, wszDirectory);
    if (dwLength == 0 || dwLength >= DLL_DIRECTORY_MAX)
        return std::string();
    int iBytes =
        WideCharToMultiByte(CP_UTF8, 0, wszDirectory, static_cast<int>(dwLength), nullptr, 0, nullptr, nullptr);
    std::string strDirectory(static_cast<std::size_t>(iBytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wszDirectory, static_cast<int>(dwLength), strDirectory.data(), iBytes, nullptr,
                        nullptr);
    return strDirectory;
}

const IMAGE_DATA_DIRECTORY& GetLauncherDirectory(const BYTE* pBase, unsigned int uiEntry)
{
    const auto* pHeaders =
        reinterpret_cast<const IMAGE_NT_HEADERS*>(pBase + reinterpret_cast<const IMAGE_DOS_HEADER*>(pBase)->e_lfanew);
    return pHeaders->OptionalHeader.DataDirectory[uiEntry];
}

#if defined(__i386__)
// A chain longer than this is not a chain of frames.
constexpr unsigned int FRAME_CHAIN_MAX = 4096;
const auto CHAIN_END = reinterpret_cast<EXCEPTION_REGISTRATION_RECORD*>(~std::uintptr_t{0});

// "<handlers in the launcher's image> listed <of those in its SafeSEH table>".
std::string DescribeLauncherFrameHandlers()
{
    const auto* pBase = reinterpret_cast<const BYTE*>(GetModuleHandleW(nullptr));
    const auto* pHeaders =
        reinterpret_cast<const IMAGE_NT_HEADERS32*>(pBase + reinterpret_cast<const IMAGE_DOS_HEADER*>(pBase)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = GetLauncherDirectory(pBase, IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG);
    const DWORD* pTable = nullptr;
    DWORD dwCount = 0;
    if (directory.VirtualAddress != 0)
    {
        const auto* pConfig = reinterpret_cast<const IMAGE_LOAD_CONFIG_DIRECTORY32*>(pBase + directory.VirtualAddress);
        if (pConfig->Size >= offsetof(IMAGE_LOAD_CONFIG_DIRECTORY32, SEHandlerCount) + sizeof(DWORD))
        {
            pTable = reinterpret_cast<const DWORD*>(pConfig->SEHandlerTable);
            dwCount = pConfig->SEHandlerCount;
        }
    }
    unsigned int uiInImage = 0;
    unsigned int uiListed = 0;
    EXCEPTION_REGISTRATION_RECORD* pFrame = SharedUtil::GetExceptionList();
    for (unsigned int uiFrame = 0; uiFrame < FRAME_CHAIN_MAX && pFrame && pFrame != CHAIN_END; ++uiFrame)
    {
        const std::uintptr_t uiRva =
            reinterpret_cast<std::uintptr_t>(pFrame->Handler) - reinterpret_cast<std::uintptr_t>(pBase);
        if (uiRva < pHeaders->OptionalHeader.SizeOfImage)
        {
            ++uiInImage;
            if (pTable && std::find(pTable, pTable + dwCount, uiRva) != pTable + dwCount)
                ++uiListed;
        }
        pFrame = pFrame->Next;
    }
    return std::to_string(uiInImage) + " listed " + std::to_string(uiListed);
}
#endif

// The value the launcher's stack protector checks frames against.
std::string DescribeLauncherStackGuard()
{
    const auto* pBase = reinterpret_cast<const BYTE*>(GetModuleHandleW(nullptr));
    const IMAGE_DATA_DIRECTORY& directory = GetLauncherDirectory(pBase, IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG);
    if (directory.VirtualAddress == 0)
        return "none";
    const auto* pConfig = reinterpret_cast<const IMAGE_LOAD_CONFIG_DIRECTORY*>(pBase + directory.VirtualAddress);
    if (pConfig->Size < offsetof(IMAGE_LOAD_CONFIG_DIRECTORY, SecurityCookie) + sizeof(pConfig->SecurityCookie) ||
        pConfig->SecurityCookie == 0)
        return "none";
    char szGuard[GUARD_TEXT_SIZE];
    std::snprintf(szGuard, sizeof(szGuard), "0x%llX",
                  static_cast<unsigned long long>(*reinterpret_cast<const std::uintptr_t*>(pConfig->SecurityCookie)));
    return szGuard;
}

std::string ReadErrorMode()
{
    char szMode[ERROR_MODE_TEXT_SIZE];
    std::snprintf(szMode, sizeof(szMode), "0x%04X", GetErrorMode());
    return szMode;
}

// Ends DoWinMain the way strFailure asks; returns only for "" and
// "throw-caught".
void Fail(const std::string& strFailure)
{
    if (strFailure == "throw")
        throw std::runtime_error("sample loader asked to throw");
    if (strFailure == "msvc-throw")
    {
        const ULONG_PTR arguments[] = {MSVC_CPP_EXCEPTION_MAGIC, 0, 0};
        RaiseException(MSVC_CPP_EXCEPTION, EXCEPTION_NONCONTINUABLE, 3, arguments);
    }
    if (strFailure == "abort")
        std::abort();
    if (strFailure == "fault")
    {
        // Read through a volatile, so the compiler cannot see the null.
        static int* volatile s_pNowhere = nullptr;
        *s_pNowhere = 1;
    }
    if (strFailure == "throw-caught")
    {
        try
        {
            throw std::runtime_error("caught by the sample loader");
        }
        catch (const std::runtime_error&)
        {
        }
    }
}

void WriteReport(const std::string& strReport, DWORD dwDisposition)
{
    const std::string strPath = GetEnvironmentText("QEL_SAMPLE_REPORT");
    // Standard output is the process's, not ours to close.
    SharedUtil::CScopedKernelHandle file;
    if (!strPath.empty())
        file.Reset(CreateFileA(strPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, dwDisposition,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    const HANDLE hOut = strPath.empty() ? GetStdHandle(STD_OUTPUT_HANDLE) : file.Get();
    if (hOut == INVALID_HANDLE_VALUE || hOut == nullptr)
        return;
    DWORD dwWritten = 0;
    WriteFile(hOut, strReport.data(), static_cast<DWORD>(strReport.size()), &dwWritten, nullptr);
}
} // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD dwReason, LPVOID pReserved)
{
    // Tells which of the launcher's attempts loaded the module.
    if (dwReason == DLL_PROCESS_ATTACH)
        g_strDllDirectoryAtLoad = ReadDllDirectory();
    // A null pReserved on detach means FreeLibrary, not process exit.
    if (dwReason == DLL_PROCESS_DETACH && pReserved == nullptr)
    {
        WriteReport("freed: yes\n", OPEN_ALWAYS);
        if (GetEnvironmentText("QEL_SAMPLE_FAIL") == "abort-when-freed")
            std::abort();
    }
    return TRUE;
}

extern "C" __declspec(dllexport) int __cdecl DoWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, char* szCmdLine,
                                                       int nCmdShow)
{
    std::string strCommandLine = szCmdLine ? szCmdLine : "";
    std::string strReport;
    strReport += "sample loader: DoWinMain got control\n";
    strReport += "command-line: " + strCommandLine + "\n";
    strReport += "command-line-bytes: " + std::to_string(strCommandLine.size()) + "\n";
    strReport += "show-command: " + std::to_string(nCmdShow) + "\n";
    strReport += "launcher-version: " + ReadLauncherVersion() + "\n";
    strReport += "instance-is-launcher: " + std::string(hInstance == GetModuleHandleW(nullptr) ? "yes" : "no") + "\n";
    strReport += "previous-instance-null: " + std::string(hPrevInstance == nullptr ? "yes" : "no") + "\n";
    strReport += "dll-directory-at-load: " + g_strDllDirectoryAtLoad + "\n";
    strReport += "dll-directory: " + ReadDllDirectory() + "\n";
    strReport += "error-mode: " + ReadErrorMode() + "\n";
    // Where the C runtime (shared with the launcher) sends its messages.
    strReport += "runtime-error-mode: " + std::to_string(_set_error_mode(_REPORT_ERRMODE)) + "\n";
    strReport += "launcher-stack-guard: " + DescribeLauncherStackGuard() + "\n";
#if defined(__i386__)
    strReport += "launcher-frame-handlers: " + DescribeLauncherFrameHandlers() + "\n";
#endif

    int iExitCode = std::atoi(GetEnvironmentText("QEL_SAMPLE_EXIT_CODE").c_str());
    std::string strFailure = GetEnvironmentText("QEL_SAMPLE_FAIL");
    strReport += "result: " + (strFailure.empty() ? std::to_string(iExitCode) : strFailure) + "\n";
    // A system-wide clock, so another process can time the start-up.
    LARGE_INTEGER liNow;
    QueryPerformanceCounter(&liNow);
    strReport += "returned-at-qpc: " + std::to_string(liNow.QuadPart) + "\n";
    WriteReport(strReport, CREATE_ALWAYS);

    Fail(strFailure);
    return iExitCode;
}
