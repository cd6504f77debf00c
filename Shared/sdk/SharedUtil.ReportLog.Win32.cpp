#include "SharedUtil.ReportLog.Win32.h"

#include "SharedUtil.FileAppend.Win32.h"
#include "SharedUtil.PathQuery.Win32.h"
#include "SharedUtil.Path.h"
#include "SharedUtil.ProcessTag.Win32.h"
#include "SharedUtil.Registry.h"
#include "SharedUtil.ReportFilter.h"
#include "SharedUtil.Version.h"

#include <iterator>

namespace SharedUtil
{
namespace
{
constexpr const char* ALL_USERS_FOLDER_NAME = "Qel Vendaro All";
constexpr const char* REPORT_FILE_NAME = "report.log";

constexpr const char* SETTING_VERSION_EXT = "qel-version-ext";
constexpr const char* SETTING_OS_VERSION = "os-version";
constexpr const char* SETTING_REAL_OS_VERSION = "real-os-version";
constexpr const char* SETTING_IS_ADMIN = "is-admin";

// Process-wide, built during static initialisation and never flushed: an open
// run is not summarised at exit.
CReportRepeatFilter g_ReportRepeatFilter;
ReportIdCounts g_ReportIdCounts;
SString g_strAllUsersFolderName;
CLockWaitBudget g_ReportLockBudget(REPORT_LOCK_BUDGET_MS);

// One open, append and close per line: nothing waits in a buffer. Any user
// may create folders in the all-users folder, so a link in place of our
// folders or of the file could send an administrator's lines, and the
// attribute reset, to a file of that user's choosing: such a line is lost.
void AppendReportLine(const SPendingLine& line)
{
    const SString strLine = FormatReportLine(line, GetReportTime(), GetSystemInfoTag(), GetProcessLogTag());
    AppendBelowFolder(GetAllUsersAppDataPath(),
                      CombinePath(GetAllUsersFolderName(), GetMajorMinorVersion(), REPORT_FILE_NAME), strLine.data(),
                      static_cast<uint32_t>(strLine.size()), g_ReportLockBudget);
}
} // namespace

void WriteReportLog(uint32_t uiId, const SString& strText, uint32_t uiMaxPerId)
{
    FeedReportLine(g_ReportRepeatFilter, g_ReportIdCounts, uiId, strText, uiMaxPerId, AppendReportLine);
}

SString GetVersionDataFolder()
{
    return CombinePath(GetAllUsersAppDataPath(), GetAllUsersFolderName(), GetMajorMinorVersion());
}

const SString& GetAllUsersFolderName()
{
    if (g_strAllUsersFolderName.empty())
        g_strAllUsersFolderName = ALL_USERS_FOLDER_NAME;
    return g_strAllUsersFolderName;
}

SString GetSystemInfoTag()
{
    // Read for every line, so in one pass over the registry views.
    constexpr const char* SETTING_NAMES[] = {SETTING_VERSION_EXT, SETTING_OS_VERSION, SETTING_REAL_OS_VERSION,
                                             SETTING_IS_ADMIN};
    SString values[std::size(SETTING_NAMES)];
    GetSettings(SETTING_NAMES, values, std::size(SETTING_NAMES));
    return BuildSystemInfoTag(values[0], values[1], values[2], values[3]);
}
} // namespace SharedUtil
