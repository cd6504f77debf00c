#pragma once

#include <cstdint>
#include <deque>
#include <list>
#include <map>

#include "SString.h"

// The report log's portable half: the filter that folds repeated lines and
// cycles of up to four lines into one line with a repeat count, the cap per
// identifier, and the text of a written line. The file is the Windows half's
// business (SharedUtil.ReportLog.Win32.h).
namespace SharedUtil
{
// Seconds since 1970-01-01 UTC.
using ReportTime = int64_t;

// The time of the output loop and of written lines: the system clock, unless
// a test has set it (SharedUtil.ReportFilter.Seam.h).
ReportTime GetReportTime();

// Lines (and cycles of lines) the filter remembers.
constexpr uint32_t REPORT_HISTORY_MAX = 4;
// A run still open this many seconds after the last write is closed.
constexpr uint32_t REPORT_QUIET_SECONDS = 5;

// One line as the caller gave it. Equal text under another identifier is
// another line.
struct SReportLine
{
    SString strText;
    uint32_t uiId = 0;

    bool operator==(const SReportLine& other) const { return uiId == other.uiId && strText == other.strText; }
};

// A line queued for writing; uiRepeats is 0 for a line written as it came,
// else the number of complete repetitions it summarises.
struct SPendingLine
{
    SString strText;
    uint32_t uiId = 0;
    uint32_t uiRepeats = 0;
};

class CReportRepeatFilter
{
public:
    void AddLine(const SReportLine& line);
    void CloseRun();

    // One turn of the output loop: the oldest pending line, taken for writing
    // now. With nothing pending, a run that has been quiet for too long is
    // closed first. False when there is nothing to write.
    bool TakeNextLine(SPendingLine& outLine);

private:
    void QueueHistoryLine(uint32_t uiIndex, uint32_t uiRepeats);

    std::deque<SReportLine> m_History; // newest at the front
    std::list<SPendingLine> m_PendingLines;
    bool m_bInRun = false;
    uint32_t m_uiRunLength = 0;
    uint32_t m_uiRunPos = 0;
    uint32_t m_uiRunRepeats = 0;
    int64_t m_tLastWriteTime = 0;
    uint32_t m_uiHistoryMax = REPORT_HISTORY_MAX;
    uint32_t m_uiQuietSeconds = REPORT_QUIET_SECONDS;
};

// Calls seen per identifier that has been logged with a cap.
using ReportIdCounts = std::map<uint32_t, uint32_t>;

// Counts the call; false when the first uiMaxPerId calls of the identifier
// have been logged already. A cap of 0 passes without counting.
bool CountReportCall(ReportIdCounts& counts, uint32_t uiId, uint32_t uiMaxPerId);

// Receives every line the filter lets out, in order.
using ReportLineSink = void (*)(const SPendingLine& line);

// WriteReportLog without the file: the cap, the filter and the output loop,
// handing each line to be written to pSink.
void FeedReportLine(CReportRepeatFilter& filter, ReportIdCounts& counts, uint32_t uiId, const SString& strText,
                    uint32_t uiMaxPerId, ReportLineSink pSink);

// The line as it goes into the file: "<id>: <UTC date time> <system tag>
// [<process tag>] - <text>", the repeat suffix when it summarises more than
// one repetition, and a line feed.
SString FormatReportLine(const SPendingLine& line, ReportTime tTime, const SString& strSystemTag,
                         const SString& strProcessTag);

// Longest a value of the system tag may show, in bytes: a setting holds
// whatever another component (or an administrator) put there.
constexpr std::size_t REPORT_TAG_FIELD_MAX_BYTES = 64;

// The bracketed tag of the product version and the operating system, built
// from the four settings' values. It stays on its line: line breaks and other
// control characters in a value show as blanks, and each value is cut to
// REPORT_TAG_FIELD_MAX_BYTES (at a character's start).
SString BuildSystemInfoTag(const SString& strVersionExt, const SString& strOsVersion, const SString& strRealOsVersion,
                           const SString& strIsAdmin);
} // namespace SharedUtil
