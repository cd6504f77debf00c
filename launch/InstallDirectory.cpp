#include "InstallDirectory.h"

#include "LaunchIds.h"
#include "SharedUtil.File.h"
#include "SharedUtil.Format.h"
#include "SharedUtil.Module.Win32.h"
#include "SharedUtil.Path.h"
#include "SharedUtil.ReportLog.Win32.h"

using namespace SharedUtil;

namespace Launch
{
namespace
{
constexpr const char* INSTALL_FOLDER_NAME = "qel";
constexpr const char* PARENT_STEP = "..";
constexpr std::size_t SHORTEST_CHECKED_PATH = 2;
} // namespace

SString GetLaunchPath()
{
    return GetFolderPart(GetExecutablePath());
}

bool IsValidPath(const SString& strPath)
{
    if (strPath.length() < SHORTEST_CHECKED_PATH)
        return true;
    return strPath.find("..") == SString::npos && strPath.find("//") == SString::npos;
}

SInstallResult FindInstallDirectory(const SString& strLaunchPath)
{
    if (!IsValidPath(strLaunchPath))
    {
        WriteReportLog(REPORT_INVALID_LAUNCH_PATH,
                       FormatBraces("Launcher Main: Invalid launch path: '{}'", strLaunchPath));
        return SInstallResult::Failure(EExitCode::NO_INSTALL_DIRECTORY);
    }

    // Valid too: joining turns every separator into one backslash, so it
    // makes no "//", and no ".." from a launch path without one.
    SString strBeside = CombinePath(strLaunchPath, INSTALL_FOLDER_NAME);
    if (IsExistingDirectory(strBeside))
        return SInstallResult::Success(strBeside);

    // Built from a launch path that passed the test above; the ".." is ours.
    SString strParent = CombinePath(strLaunchPath, PARENT_STEP);
    SString strAbove = CombinePath(strParent, INSTALL_FOLDER_NAME);
    if (IsExistingDirectory(strAbove))
        return SInstallResult::Success(strAbove);

    WriteReportLog(REPORT_QEL_NOT_FOUND,
                   FormatBraces("Launcher Main: Qel directory not found from: '{}'", strLaunchPath));
    return SInstallResult::Failure(EExitCode::NO_INSTALL_DIRECTORY);
}
} // namespace Launch
