#include "SharedUtil.ReportFilter.Seam.h"
#include "SharedUtil.SeamSetter.h"

#include <chrono>

namespace SharedUtil
{
namespace
{
constexpr const char* REPORT_HEADER_FORMAT = "%u: %s %s [%s] - ";
constexpr const char* REPORT_DATE_FORMAT = "%02d-%02d-%02d ";
constexpr const char* REPORT_CLOCK_FORMAT = "%02d:%02d:%02d";
constexpr const char* REPORT_REPEAT_FORMAT = "  [DUP x%u]";
constexpr const char* REPORT_LINE_END = "\n";

constexpr const char* VERSION_EXT_DELIMITER = "-";
constexpr const char* ADMIN_FLAG = "1";
constexpr const char* ADMIN_MARK = "a";

// The same count as the C library's time(), without the time-zone lookup that
// time() makes on Windows on every call.
ReportTime ReadRealTime()
{
    using namespace std::chrono;
    return floor<seconds>(system_clock::now()).time_since_epoch().count();
}

ReportClockFunction g_pfnReportClock = ReadRealTime;

// YYYY-MM-DD HH:MM:SS of the UTC calendar, computed without the C library's
// shared gmtime buffer.
SString FormatUtcTimeStamp(ReportTime tTime)
{
    using namespace std::chrono;
    const sys_seconds tSeconds{seconds{tTime}};
    const sys_days tDay = floor<days>(tSeconds);
    const year_month_day date{tDay};
    const hh_mm_ss clock{tSeconds - tDay};
    return SString(REPORT_DATE_FORMAT, static_cast<int>(date.year()), static_cast<int>(unsigned{date.month()}),
                   static_cast<int>(unsigned{date.day()})) +
           SString(REPORT_CLOCK_FORMAT, static_cast<int>(clock.hours().count()),
                   static_cast<int>(clock.minutes().count()), static_cast<int>(clock.seconds().count()));
}
} // namespace

ReportClockFunction SetReportClockFunction(ReportClockFunction pFunction)
{
    return ReplaceSeamFunction(g_pfnReportClock, pFunction, ReadRealTime);
}

ReportTime GetReportTime()
{
    return g_pfnReportClock();
}

void CReportRepeatFilter::AddLine(const SReportLine& line)
{
    if (m_bInRun)
    {
        const uint32_t uiNext = (m_uiRunPos + m_uiRunLength - 1) % m_uiRunLength;
        if (m_History[uiNext] == line)
        {
            m_uiRunPos = uiNext;
            if (uiNext == 0)
                ++m_uiRunRepeats;
            return;
        }
        CloseRun();
    }
    else
    {
        for (uint32_t i = 0; i < m_History.size(); ++i)
        {
            if (m_History[i] == line)
            {
                m_bInRun = true;
                m_uiRunLength = i + 1;
                m_uiRunPos = i;
                m_uiRunRepeats = i == 0 ? 1 : 0;
                return;
            }
        }
    }

    m_History.push_front(line);
    while (m_History.size() > m_uiHistoryMax)
        m_History.pop_back();
    m_PendingLines.push_back(SPendingLine{line.strText, line.uiId, 0});
}

void CReportRepeatFilter::CloseRun()
{
    if (!m_bInRun)
        return;
    m_bInRun = false;

    // The cycle oldest line first, once with the count of complete repeats...
    const uint32_t uiRepeats = m_uiRunRepeats;
    if (uiRepeats != 0)
    {
        for (uint32_t i = 0; i < m_uiRunLength; ++i)
            QueueHistoryLine(m_uiRunLength - 1 - i, uiRepeats);
    }
    // ...then the lines of a cycle that had begun again but did not finish.
    if (m_uiRunPos != 0)
    {
        for (uint32_t i = 0; i < m_uiRunLength - m_uiRunPos; ++i)
            QueueHistoryLine(m_uiRunLength - 1 - i, 0);
    }
    m_History.clear();
}

bool CReportRepeatFilter::TakeNextLine(SPendingLine& outLine)
{
    if (m_PendingLines.empty())
    {
        if (GetReportTime() - m_tLastWriteTime > static_cast<int64_t>(m_uiQuietSeconds))
            CloseRun();
        if (m_PendingLines.empty())
            return false;
    }
    m_tLastWriteTime = GetReportTime();
    outLine = std::move(m_PendingLines.front());
    m_PendingLines.pop_front();
    return true;
}

void CReportRepeatFilter::QueueHistoryLine(uint32_t uiIndex, uint32_t uiRepeats)
{
    const SReportLine& line = m_History[uiIndex];
    m_PendingLines.push_back(SPendingLine{line.strText, line.uiId, uiRepeats});
}

bool CountReportCall(ReportIdCounts& counts, uint32_t uiId, uint32_t uiMaxPerId)
{
    if (uiMaxPerId == 0)
        return true;
    uint32_t& uiCount = counts.try_emplace(uiId, 0).first->second;
    const uint32_t uiSeen = uiCount++;
    return uiSeen < uiMaxPerId;
}

void FeedReportLine(CReportRepeatFilter& filter, ReportIdCounts& counts, uint32_t uiId, const SString& strText,
                    uint32_t uiMaxPerId, ReportLineSink pSink)
{
    if (!CountReportCall(counts, uiId, uiMaxPerId))
        return;
    filter.AddLine(SReportLine{strText, uiId});
    SPendingLine line;
    while (filter.TakeNextLine(line))
        pSink(line);
}

SString FormatReportLine(const SPendingLine& line, ReportTime tTime, const SString& strSystemTag,
                         const SString& strProcessTag)
{
    SString strLine(REPORT_HEADER_FORMAT, line.uiId, FormatUtcTimeStamp(tTime).c_str(), strSystemTag.c_str(),
                    strProcessTag.c_str());
    strLine += line.strText;
    if (line.uiRepeats > 1)
        strLine += SString(REPORT_REPEAT_FORMAT, line.uiRepeats);
    strLine += REPORT_LINE_END;
    return strLine;
}

SString BuildSystemInfoTag(const SString& strVersionExt, const SString& strOsVersion, const SString& strRealOsVersion,
                           const SString& strIsAdmin)
{
    const SString strVersion = strVersionExt.PartAfter(VERSION_EXT_DELIMITER, nullptr, 1);
    SString strTag = "[";
    if (!strVersion.empty())
        strTag += strVersion + " ";
    if (!strOsVersion.empty())
    {
        if (strOsVersion == strRealOsVersion)
            strTag += strOsVersion + " ";
        else
            strTag += strOsVersion + "(" + strRealOsVersion + ") ";
    }
    if (strIsAdmin == ADMIN_FLAG)
        strTag += ADMIN_MARK;
    return strTag.StripTrailing(" ") + "]";
}
} // namespace SharedUtil
