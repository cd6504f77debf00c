#include "Launcher.h"

#include <objbase.h>
#include <shobjidl.h>

#include "EntryGuard.h"
#include "InstallDirectory.h"
#include "LaunchIds.h"
#include "Launcher.Seam.h"
#include "LoaderEntry.h"
#include "LoaderModule.h"
#include "SharedUtil.Format.h"
#include "SharedUtil.Path.h"
#include "SharedUtil.ReportLog.Win32.h"
#include "SharedUtil.ScopedHandle.Win32.h"
#include "SharedUtil.SeamSetter.h"
#include "SharedUtil.SystemError.Win32.h"
#include "SharedUtil.TroubleHelp.Win32.h"

using namespace SharedUtil;

namespace Launch
{
namespace
{
constexpr const char* LOADER_FILE_NAME = "loader.dll";
// Taken literally, capitals and all, never filled with the version: the
// shell groups taskbar buttons and pinned shortcuts by this text, so it must
// stay the same from one version to the next and match what the client's
// other programs set.
constexpr const wchar_t* APPLICATION_IDENTITY = L"Valdrenne QELMAR_VERSION_MAJOR.QELMAR_VERSION_MINOR";
constexpr const char* TROUBLE_LOADER_NOT_LOADABLE = "loader-dll-not-loadable";

// No critical-error, fault or file-not-found dialogs from the system.
constexpr UINT PROCESS_ERROR_MODE = SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX;
constexpr DWORD COM_INIT_FLAGS = COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE;

CoInitializeExFunction g_pfnCoInitializeEx = CoInitializeEx;
CoUninitializeFunction g_pfnCoUninitialize = CoUninitialize;
ApplicationIdentityFunction g_pfnApplicationIdentity = SetCurrentProcessExplicitAppUserModelID;

// Loads the loader and hands over to it; returns the exit code.
int LaunchFromInstallDirectory(const SString& strLaunchPath, const SString& strInstallDirectory, HINSTANCE hInstance,
                               HINSTANCE hPrevInstance, const char* szCmdLine, int nCmdShow)
{
    SString strLoaderPath = CombinePath(strInstallDirectory, LOADER_FILE_NAME);
    WriteReportLog(REPORT_LAUNCH_PATHS, SString("Launcher Main: Launch: '%s', Qel: '%s'", strLaunchPath.c_str(),
                                                strInstallDirectory.c_str()));

    SLoadResult loadResult = LoadLoaderModule(strLoaderPath, LOADER_FILE_NAME, strInstallDirectory);
    if (!loadResult.bHasValue)
    {
        // Both failure classes are reported and helped alike.
        SString strMessage = FormatBraces("Launcher Main: Failed to load: '{}'\n\n{}", strLoaderPath,
                                          DescribeSystemError(loadResult.uiSystemError, true, true));
        WriteReportLog(REPORT_LOAD_FAILED, strMessage);
        OfferTroubleHelp(TROUBLE_LOADER_NOT_LOADABLE, TROUBLE_ASK_FIRST, strMessage, "");
        return static_cast<int>(EExitCode::LOADER_NOT_LOADABLE);
    }

    // Loaded for the whole of DoWinMain, freed when it has returned.
    CScopedModule loader(loadResult.value);
    SHandOffResult entryResult = CallLoaderEntry(loader.Get(), hInstance, hPrevInstance, szCmdLine, nCmdShow);
    return entryResult.bHasValue ? entryResult.value : static_cast<int>(entryResult.eError);
}
} // namespace

CoInitializeExFunction SetCoInitializeExFunction(CoInitializeExFunction pFunction)
{
    return ReplaceSeamFunction(g_pfnCoInitializeEx, pFunction, CoInitializeEx);
}

CoUninitializeFunction SetCoUninitializeFunction(CoUninitializeFunction pFunction)
{
    return ReplaceSeamFunction(g_pfnCoUninitialize, pFunction, CoUninitialize);
}

ApplicationIdentityFunction SetApplicationIdentityFunction(ApplicationIdentityFunction pFunction)
{
    return ReplaceSeamFunction(g_pfnApplicationIdentity, pFunction, SetCurrentProcessExplicitAppUserModelID);
}

int RunLauncher(HINSTANCE hInstance, HINSTANCE hPrevInstance, const char* szCmdLine, int nCmdShow)
{
    SetSilentAbort();
    SetErrorMode(PROCESS_ERROR_MODE);

    HRESULT hrCom = g_pfnCoInitializeEx(nullptr, COM_INIT_FLAGS);
    if (FAILED(hrCom))
        WriteReportLog(REPORT_COM_FAILED, FormatBraces("Launcher Main: COM initialization failed (hr=0x{:08X})",
                                                       static_cast<uint32_t>(hrCom)));

    g_pfnApplicationIdentity(APPLICATION_IDENTITY);

    int iExitCode;
    {
        SString strLaunchPath = GetLaunchPath();
        SInstallResult installResult = FindInstallDirectory(strLaunchPath);
        if (installResult.bHasValue)
            iExitCode = LaunchFromInstallDirectory(strLaunchPath, installResult.value, hInstance, hPrevInstance,
                                                   szCmdLine, nCmdShow);
        else
            iExitCode = static_cast<int>(installResult.eError);
    }

    g_pfnCoUninitialize();
    return iExitCode;
}
} // namespace Launch
