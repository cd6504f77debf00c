#pragma once

#include <cstdint>

// The launch sequence's codes, one closed set per meaning; the values are
// fixed (report.log readers and callers of the launcher rely on them).
namespace Launch
{
// Report-log ids, one per message site; each names the function that writes it.
enum EReportId : uint32_t
{
    REPORT_LOAD_FAILED = 5711,         // LaunchFromInstallDirectory, when LoadLoaderModule fails
    REPORT_ENTRY_MISSING = 5713,       // CallLoaderEntry: no DoWinMain, or it lies outside the module
    REPORT_ENTRY_EXCEPTION = 5722,     // CallLoaderEntry and the entry guard: DoWinMain did not return
    REPORT_LAUNCH_PATHS = 5725,        // LaunchFromInstallDirectory, once the install directory is known
    REPORT_QEL_NOT_FOUND = 5730,       // FindInstallDirectory
    REPORT_INVALID_LAUNCH_PATH = 5731, // FindInstallDirectory
    REPORT_COM_FAILED = 5737,          // RunLauncher
};

// The launcher's own exit codes. Any other exit code is DoWinMain's result,
// which may also be one of these.
enum class EExitCode : int
{
    NO_INSTALL_DIRECTORY = 1,
    LOADER_NOT_LOADABLE = 2,
    // Also the C runtime's exit code after abort().
    HANDOFF_FAILED = 3,
};

// Why LoadLoaderModule failed.
enum class ELoadFailure : int
{
    INVALID_PATH = 2,
    NOT_LOADABLE = 3,
};
} // namespace Launch
