#include "SharedUtil.ReportFilter.Seam.h"
#include "SharedUtil.SeamSetter.h"

#include <chrono>
#include <string_view>

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

constexpr char TAG_FIELD_BLANK = ' ';
// Controls of UTF-8 beyond ASCII's: the C1 controls (NEL among them) are
// U+0080 to U+009F, 0xC2 0x80 to 0xC2 0x9F; the line and paragraph
// separators U+2028 and U+2029 are 0xE2 0x80 0xA8 and 0xE2 0x80 0xA9.
constexpr unsigned char C1_LEAD = 0xC2;
constexpr unsigned char C1_FIRST = 0x80;
constexpr unsigned char C1_LAST = 0x9F;
constexpr std::size_t C1_BYTES = 2;
constexpr std::string_view LINE_SEPARATOR = "\xE2\x80\xA8";
constexpr std::string_view PARAGRAPH_SEPARATOR = "\xE2\x80\xA9";
constexpr unsigned char ASCII_CONTROL_END = 0x20;
constexpr unsigned char ASCII_DELETE = 0x7F;
// Bytes 10xxxxxx continue a UTF-8 character.
constexpr unsigned char CONTINUATION_MASK = 0xC0;
constexpr unsigned char CONTINUATION_BITS = 0x80;

// The same count as the C library's time(), without the time-zone lookup that
// time() makes on Windows on every call.
ReportTime ReadRealTime()
{
    using namespace std::chrono;
    return floor<seconds>(system_clock::now()).time_since_epoch().count();
}

ReportClockFunction g_pfnReportClock = ReadRealTime;

// How many bytes at uiPos make a control character: line breaks, C0 and C1
// controls, and the Unicode line and paragraph separators; 0 for anything
// else.
std::size_t ControlBytesAt(std::string_view svText, std::size_t uiPos)
{
    const unsigned char ucByte = static_cast<unsigned char>(svText[uiPos]);
    if (ucByte < ASCII_CONTROL_END || ucByte == ASCII_DELETE)
        return 1;
    const std::string_view svRest = svText.substr(uiPos);
    if (ucByte == C1_LEAD && svRest.size() >= C1_BYTES && static_cast<unsigned char>(svRest[1]) >= C1_FIRST &&
        static_cast<unsigned char>(svRest[1]) <= C1_LAST)
        return C1_BYTES;
    if (svRest.starts_with(LINE_SEPARATOR) || svRest.starts_with(PARAGRAPH_SEPARATOR))
        return LINE_SEPARATOR.size();
    return 0;
}

bool IsContinuationByte(char cByte)
{
    return (static_cast<unsigned char>(cByte) & CONTINUATION_MASK) == CONTINUATION_BITS;
}

// A setting's value as the tag shows it: each control character a blank, at
// most REPORT_TAG_FIELD_MAX_BYTES, and a character that the cut would split
// left out whole.
SString ToTagField(const SString& strValue)
{
    SString strField;
    std::size_t uiPos = 0;
    while (uiPos < strValue.size() && strField.size() < REPORT_TAG_FIELD_MAX_BYTES)
    {
        const std::size_t uiControlBytes = ControlBytesAt(strValue, uiPos);
        strField += uiControlBytes != 0 ? TAG_FIELD_BLANK : strValue[uiPos];
        uiPos += uiControlBytes != 0 ? uiControlBytes : 1;
    }
    if (uiPos < strValue.size() && IsContinuationByte(strValue[uiPos]))
    {
        while (!strField.empty() && IsContinuationByte(strField.back()))
            strField.pop_back();
        if (!strField.empty())
            strField.pop_back();
    }
    return strField;
}

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
    const SString strVersion = ToTagField(strVersionExt.PartAfter(VERSION_EXT_DELIMITER, nullptr, 1));
    const SString strOs = ToTagField(strOsVersion);
    const SString strRealOs = ToTagField(strRealOsVersion);
    SString strTag = "[";
    if (!strVersion.empty())
        strTag += strVersion + " ";
    if (!strOs.empty())
    {
        if (strOs == strRealOs)
            strTag += strOs + " ";
        else
            strTag += strOs + "(" + strRealOs + ") ";
    }
    if (strIsAdmin == ADMIN_FLAG)
        strTag += ADMIN_MARK;
    return strTag.StripTrailing(" ") + "]";
}
} // namespace SharedUtil
