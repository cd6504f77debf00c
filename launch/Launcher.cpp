#include "Launcher.h"

#include <objbase.h>
#include <shobjidl.h>

#include "InstallDirectory.h"
#include "LaunchIds.h"
#include "LoaderEntry.h"
#include "LoaderModule.h"
#include "SharedUtil.Format.h"
#include "SharedUtil.Path.h"
#include "SharedUtil.ReportLog.h"
#include "SharedUtil.SystemError.h"
#include "SharedUtil.TroubleHelp.Win32.h"

using namespace SharedUtil;

namespace Launch
{
namespace
{
constexpr const char* LOADER_FILE_NAME = "loader.dll";
constexpr const wchar_t* APPLICATION_IDENTITY = L"Valdrenne QELMAR_VERSION_MAJOR.QELMAR_VERSION_MINOR";
constexpr const char* TROUBLE_LOADER_NOT_LOADABLE = "loader-dll-not-loadable";

// _WRITE_ABORT_MSG | _CALL_REPORTFAULT: an abort shows no message and raises
// no fault report.
constexpr unsigned int ABORT_BEHAVIOR_MASK = 0x3;
// SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX
constexpr UINT PROCESS_ERROR_MODE = 0x8003;
// COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE
constexpr DWORD COM_INIT_FLAGS = 0x6;

PFN_CoInitializeEx g_pfnCoInitializeEx = CoInitializeEx;
PFN_CoUninitialize g_pfnCoUninitialize = CoUninitialize;

// msvcrt, the runtime this program links, lacks _set_abort_behavior; newer
// runtimes have it. Use it where the loaded runtime offers it.
void SetAbortBehavior()
{
    using PFN_SetAbortBehavior = unsigned int(__cdecl*)(unsigned int, unsigned int);
    const wchar_t* runtimeNames[] = {L"ucrtbase.dll", L"msvcrt.dll"};
    for (const wchar_t* szRuntime : runtimeNames)
    {
        HMODULE hRuntime = GetModuleHandleW(szRuntime);
        if (!hRuntime)
            continue;
        if (FARPROC pProc = GetProcAddress(hRuntime, "_set_abort_behavior"))
        {
            reinterpret_cast<PFN_SetAbortBehavior>(reinterpret_cast<void*>(pProc))(0, ABORT_BEHAVIOR_MASK);
            return;
        }
    }
}

// Loads the loader and hands over to it; returns the exit code.
int LaunchFromInstallDirectory(const SString& strLaunchPath, const SString& strInstallDirectory, HINSTANCE hInstance,
                               HINSTANCE hPrevInstance, const char* szCmdLine, int nCmdShow)
{
    SString strLoaderPath = CombinePath(strInstallDirectory, LOADER_FILE_NAME);
    WriteReportLog(REPORT_LAUNCH_PATHS, SString("Launcher Main: Launch: '%s', Qel: '%s'", strLaunchPath.c_str(),
                                                strInstallDirectory.c_str()));

    SLaunchResult<HMODULE> loadResult = LoadLoaderModule(strLoaderPath, LOADER_FILE_NAME, strInstallDirectory);
    if (!loadResult.bHasValue)
    {
        DWORD dwLoadError = GetLastError();
        SString strMessage = FormatBraces("Launcher Main: Failed to load: '{}'\n\n{}", strLoaderPath,
                                          DescribeSystemError(dwLoadError, true, true));
        WriteReportLog(REPORT_LOAD_FAILED, strMessage);
        if (loadResult.iErrorCode == LOAD_INVALID_PATH || loadResult.iErrorCode == LOAD_NOT_LOADABLE)
            OfferTroubleHelp(TROUBLE_LOADER_NOT_LOADABLE, TROUBLE_ASK_FIRST, strMessage, "");
        return EXIT_LOADER_NOT_LOADABLE;
    }

    SLaunchResult<int> entryResult = CallLoaderEntry(loadResult.value, hInstance, hPrevInstance, szCmdLine, nCmdShow);
    FreeLibrary(loadResult.value);
    return entryResult.bHasValue ? entryResult.value : EXIT_HANDOFF_FAILED;
}
} // namespace

void SetComFunctionsForTesting(PFN_CoInitializeEx pfnInitialize, PFN_CoUninitialize pfnUninitialize)
{
    g_pfnCoInitializeEx = pfnInitialize ? pfnInitialize : CoInitializeEx;
    g_pfnCoUninitialize = pfnUninitialize ? pfnUninitialize : CoUninitialize;
}

int RunLauncher(HINSTANCE hInstance, HINSTANCE hPrevInstance, const char* szCmdLine, int nCmdShow)
{
    SetAbortBehavior();
    SetErrorMode(PROCESS_ERROR_MODE);

    HRESULT hrCom = g_pfnCoInitializeEx(nullptr, COM_INIT_FLAGS);
    if (FAILED(hrCom))
        WriteReportLog(REPORT_COM_FAILED, FormatBraces("Launcher Main: COM initialization failed (hr=0x{:08X})",
                                                       static_cast<uint32_t>(hrCom)));

    SetCurrentProcessExplicitAppUserModelID(APPLICATION_IDENTITY);

    int iExitCode;
    {
        SString strLaunchPath = GetLaunchPath();
        SLaunchResult<SString> installResult = FindInstallDirectory(strLaunchPath);
        if (installResult.bHasValue)
            iExitCode = LaunchFromInstallDirectory(strLaunchPath, installResult.value, hInstance, hPrevInstance,
                                                   szCmdLine, nCmdShow);
        else
            iExitCode = installResult.iErrorCode;
    }

    g_pfnCoUninitialize();
    return iExitCode;
}
} // namespace Launch
