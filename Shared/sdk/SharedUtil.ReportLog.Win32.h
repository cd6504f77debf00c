#pragma once

#include <cstdint>

#include "SString.h"
#include "SharedUtil.Windows.h"

// The diagnostics journal report.log in the all-users application-data folder,
// one folder per major.minor version. The folding of repeats and the line
// format are in SharedUtil.ReportFilter.h.
namespace SharedUtil
{
// What a process spends in all on lines that waited in vain for a lock on
// the log that nobody let go, however many lines it writes: anyone who may
// read the log may lock it, and that may cost lines, never a slow start.
// Once it is spent, each line gets one try. Waiting for other writers that
// take turns, which ends with the line written, is not taken from it.
constexpr uint32_t REPORT_LOCK_BUDGET_MS = 100;

// Records one diagnostic under the message site's identifier. With uiMaxPerId
// not 0, only the first uiMaxPerId calls with that identifier are logged.
// Every line let out is in the file when the call returns, whole and on a
// line of its own, however many processes write at once; a line that cannot
// be written (a full disk, a lock held past the wait), or that would go
// through a link in place of the log's folders or file, is lost, and nothing
// is reported to the caller.
void WriteReportLog(uint32_t uiId, const SString& strText, uint32_t uiMaxPerId = 0);

// <all-users application data>\Qel Vendaro All\<major.minor>, computed anew
// on every call.
SString GetVersionDataFolder();

// The process-wide name of the product's all-users folder.
const SString& GetAllUsersFolderName();

// The bracketed product version and system tag of a report line, from the
// settings of the product's other components.
SString GetSystemInfoTag();
} // namespace SharedUtil
