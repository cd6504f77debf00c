// The report log's repeat folding, cap and line assembly (FeedReportLine,
// CReportRepeatFilter, FormatReportLine, BuildSystemInfoTag) fed random
// sequences of identifiers, texts, caps and clock readings, and checked line
// by line against a reference model of the folding rules written here on its
// own terms: the last four distinct lines, a run as the cycle it repeats and
// how far the current repetition has got.

#include "FuzzSupport.h"

#include "SharedUtil.ReportFilter.Seam.h"
#include "support/ScopedOverride.h"

#include <ctime>
#include <map>
#include <vector>

using FuzzSupport::CFuzzInput;
using FuzzSupport::Hex;

namespace
{
constexpr uint32_t MAX_CALLS = 32;
constexpr std::size_t MAX_TEXT_BYTES = 16;
constexpr std::size_t MAX_TAG_BYTES = 12;
// Past the cap of a value in the system tag, now and then.
constexpr std::size_t MAX_SETTING_BYTES = SharedUtil::REPORT_TAG_FIELD_MAX_BYTES + 8;
constexpr std::size_t REMEMBERED_LINES = 4;
constexpr int64_t QUIET_SECONDS = 5;
// Clock readings stay between 1970 and the year 9999.
constexpr int64_t LAST_TIME = 253402300799;
constexpr uint32_t START_TIME_STEP = 59;

struct SModelLine
{
    uint32_t uiId;
    std::string strText;
    bool operator==(const SModelLine& other) const = default;
};

struct SModelOutput
{
    SModelLine line;
    uint32_t uiRepeats;
};

class CModelFolding
{
public:
    // The lines written by one call at the clock reading tNow.
    std::vector<SModelOutput> Call(uint32_t uiId, const std::string& strText, uint32_t uiCap, int64_t tNow)
    {
        if (uiCap != 0 && m_Calls[uiId]++ >= uiCap)
            return {};
        Add(SModelLine{uiId, strText});
        if (m_Queue.empty() && tNow - m_tLastWrite > QUIET_SECONDS)
            Close();
        std::vector<SModelOutput> written;
        written.swap(m_Queue);
        if (!written.empty())
            m_tLastWrite = tNow;
        return written;
    }

private:
    void Add(const SModelLine& line)
    {
        if (m_bRun)
        {
            if (line == m_Cycle[m_uiMatched])
            {
                Advance();
                return;
            }
            Close();
        }
        else
        {
            // The most recent equal line starts a run whose cycle is it and
            // every line since.
            for (std::size_t uiBack = 1; uiBack <= m_Recent.size(); ++uiBack)
            {
                const std::size_t uiAt = m_Recent.size() - uiBack;
                if (m_Recent[uiAt] == line)
                {
                    m_bRun = true;
                    m_Cycle.assign(m_Recent.begin() + static_cast<std::ptrdiff_t>(uiAt), m_Recent.end());
                    m_uiMatched = 0;
                    m_uiRepeats = 0;
                    Advance();
                    return;
                }
            }
        }
        m_Recent.push_back(line);
        if (m_Recent.size() > REMEMBERED_LINES)
            m_Recent.erase(m_Recent.begin());
        m_Queue.push_back(SModelOutput{line, 0});
    }

    void Advance()
    {
        if (++m_uiMatched == m_Cycle.size())
        {
            m_uiMatched = 0;
            ++m_uiRepeats;
        }
    }

    // Complete repetitions once, with their count; then what had matched of
    // an unfinished one, plainly. The lines before are forgotten.
    void Close()
    {
        if (!m_bRun)
            return;
        m_bRun = false;
        if (m_uiRepeats != 0)
        {
            for (const SModelLine& line : m_Cycle)
                m_Queue.push_back(SModelOutput{line, m_uiRepeats});
        }
        for (std::size_t i = 0; i < m_uiMatched; ++i)
            m_Queue.push_back(SModelOutput{m_Cycle[i], 0});
        m_Recent.clear();
    }

    std::map<uint32_t, uint32_t> m_Calls;
    std::vector<SModelLine> m_Recent; // oldest first
    bool m_bRun = false;
    std::vector<SModelLine> m_Cycle; // oldest first
    std::size_t m_uiMatched = 0;     // lines of the current repetition seen
    uint32_t m_uiRepeats = 0;        // complete repetitions
    std::vector<SModelOutput> m_Queue;
    int64_t m_tLastWrite = 0;
};

std::string UpToZero(const std::string& strText)
{
    return strText.substr(0, strText.find('\0'));
}

// A value as the tag shows it: first every control character (C0, DEL, the
// C1 controls U+0080 to U+009F, U+2028, U+2029) made one blank, then the
// first REPORT_TAG_FIELD_MAX_BYTES bytes, less a character the cut splits.
std::string ModelTagField(const std::string& strValue)
{
    constexpr unsigned char FIRST_PRINTABLE = 0x20;
    constexpr unsigned char DELETE = 0x7F;
    constexpr unsigned char C1_LEAD = 0xC2;
    constexpr unsigned char C1_LOW = 0x80;
    constexpr unsigned char C1_HIGH = 0x9F;
    constexpr int CONTINUATION_SHIFT = 6; // 10xxxxxx
    constexpr unsigned char CONTINUATION_TOP = 2;
    const std::vector<std::string> separators = {"\xe2\x80\xa8", "\xe2\x80\xa9"};
    std::string strClean;
    for (std::size_t i = 0; i < strValue.size(); ++i)
    {
        const unsigned char ucByte = static_cast<unsigned char>(strValue[i]);
        const unsigned char ucNext = i + 1 < strValue.size() ? static_cast<unsigned char>(strValue[i + 1]) : 0;
        const std::string strNext = strValue.substr(i, separators[0].size());
        if (ucByte < FIRST_PRINTABLE || ucByte == DELETE)
            strClean += ' ';
        else if (ucByte == C1_LEAD && ucNext >= C1_LOW && ucNext <= C1_HIGH)
            strClean += ' ', i += 1;
        else if (strNext == separators[0] || strNext == separators[1])
            strClean += ' ', i += strNext.size() - 1;
        else
            strClean += strValue[i];
    }
    const std::size_t uiCap = SharedUtil::REPORT_TAG_FIELD_MAX_BYTES;
    if (strClean.size() <= uiCap)
        return strClean;
    std::size_t uiEnd = uiCap;
    const auto isContinuation = [](char cByte)
    { return (static_cast<unsigned char>(cByte) >> CONTINUATION_SHIFT) == CONTINUATION_TOP; };
    if (isContinuation(strClean[uiCap]))
    {
        while (uiEnd > 0 && isContinuation(strClean[uiEnd - 1]))
            --uiEnd;
        uiEnd = uiEnd > 0 ? uiEnd - 1 : 0;
    }
    return strClean.substr(0, uiEnd);
}

std::string ModelSystemTag(const std::string& strVersionExt, const std::string& strRawOs,
                           const std::string& strRawRealOs, const std::string& strAdmin)
{
    const std::size_t uiDash = strVersionExt.find('-');
    const std::string strVersion = ModelTagField(uiDash == std::string::npos ? "" : strVersionExt.substr(uiDash + 1));
    const std::string strOs = ModelTagField(strRawOs);
    const std::string strRealOs = ModelTagField(strRawRealOs);
    std::string strTag = "[";
    if (!strVersion.empty())
        strTag += strVersion + " ";
    if (!strOs.empty())
        strTag += strOs == strRealOs ? strOs + " " : strOs + "(" + strRealOs + ") ";
    if (strAdmin == "1")
        strTag += "a";
    while (!strTag.empty() && strTag.back() == ' ')
        strTag.pop_back();
    return strTag + "]";
}

std::string ModelLineText(const SModelOutput& output, int64_t tNow, const std::string& strSystemTag,
                          const std::string& strProcessTag)
{
    const std::time_t tTime = static_cast<std::time_t>(tNow);
    std::tm calendar{};
    gmtime_r(&tTime, &calendar);
    char szStamp[64];
    std::snprintf(szStamp, sizeof(szStamp), "%d-%02d-%02d %02d:%02d:%02d", calendar.tm_year + 1900, calendar.tm_mon + 1,
                  calendar.tm_mday, calendar.tm_hour, calendar.tm_min, calendar.tm_sec);
    std::string strLine = std::to_string(output.line.uiId) + ": " + szStamp + " " + UpToZero(strSystemTag) + " [" +
                          UpToZero(strProcessTag) + "] - " + output.line.strText;
    if (output.uiRepeats > 1)
        strLine += "  [DUP x" + std::to_string(output.uiRepeats) + "]";
    return strLine + "\n";
}

struct SCall
{
    uint32_t uiId;
    std::string strText;
    uint32_t uiCap;
    int64_t tNow;
};

// The calls so far, for the report of a mismatch.
std::string Describe(const std::vector<SCall>& calls)
{
    std::string strCalls;
    for (const SCall& call : calls)
        strCalls += std::to_string(call.uiId) + " '" + Hex(call.strText) + "' cap " + std::to_string(call.uiCap) +
                    " at " + std::to_string(call.tNow) + "\n";
    return strCalls;
}

SString PickText(CFuzzInput& input, const std::vector<std::string>& pool, std::size_t uiMaxBytes)
{
    const uint32_t uiPick = input.Choice(static_cast<uint32_t>(pool.size()) + 1);
    return uiPick < pool.size() ? SString(pool[uiPick]) : input.Text(uiMaxBytes);
}

int64_t g_tClock = 0;
SharedUtil::ReportTime ReadFuzzClock()
{
    return g_tClock;
}

std::vector<SharedUtil::SPendingLine> g_Written;
void CollectLine(const SharedUtil::SPendingLine& line)
{
    g_Written.push_back(line);
}

// The next clock reading: mostly a few seconds on, around the quiet time;
// sometimes back, or far on.
int64_t NextTime(CFuzzInput& input, int64_t tNow)
{
    constexpr uint8_t FIRST_JUMP = 240;
    constexpr int64_t SMALL_STEPS = 17;
    constexpr int64_t SMALLEST_STEP = -4;
    constexpr int64_t JUMP_UNIT = 1000003;
    const uint8_t ucStep = input.Byte();
    const int64_t tStep =
        ucStep < FIRST_JUMP ? ucStep % SMALL_STEPS + SMALLEST_STEP : (ucStep - FIRST_JUMP) * JUMP_UNIT;
    const int64_t tNext = tNow + tStep;
    return tNext < 0 ? 0 : (tNext > LAST_TIME ? LAST_TIME : tNext);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, std::size_t uiSize)
{
    CFuzzInput input(pData, uiSize);

    const SString strVersionExt =
        PickText(input, {"", "1.7.0-1.00000.0", "1.7.0", "a-b-c", "-", " - x ", "1-\n5725: x"}, MAX_SETTING_BYTES);
    const SString strOs = PickText(input, {"", "10.0", "6.2", "10.0\r\n", "a\xc2\x85\xe2\x80\xa8"}, MAX_SETTING_BYTES);
    const SString strRealOs = PickText(input, {"", "10.0", "6.2", "10.0\n"}, MAX_SETTING_BYTES);
    const SString strAdmin = PickText(input, {"", "1", "0", "11"}, MAX_TAG_BYTES);
    const SString strProcessTag = PickText(input, {"04321", ""}, MAX_TAG_BYTES);
    const SString strSystemTag = SharedUtil::BuildSystemInfoTag(strVersionExt, strOs, strRealOs, strAdmin);
    const std::string strModelTag = ModelSystemTag(strVersionExt, strOs, strRealOs, strAdmin);
    FUZZ_CHECK(strSystemTag == strModelTag, "got   " + Hex(strSystemTag) + "\nmodel " + Hex(strModelTag));

    const TestSupport::CScopedOverride clock(SharedUtil::SetReportClockFunction, ReadFuzzClock);
    SharedUtil::CReportRepeatFilter filter;
    SharedUtil::ReportIdCounts counts;
    CModelFolding model;
    int64_t tNow = static_cast<int64_t>(input.Uint32()) * START_TIME_STEP;
    if (tNow > LAST_TIME)
        tNow = LAST_TIME;

    const std::vector<std::string> texts = {
        "A", "B", "C", "D", "E", "", "A\nB", std::string("A\0x", 3), std::string("A\0y", 3)};
    constexpr uint32_t IDS[] = {5711, 5725, 3200, 0, 0xFFFFFFFF};
    constexpr uint8_t FIRST_CAPPED = 200;
    constexpr uint32_t MAX_CAP = 3;
    const uint32_t uiCalls = input.Choice(MAX_CALLS + 1);
    std::vector<SCall> calls;
    for (uint32_t uiCall = 0; uiCall < uiCalls && !input.IsEmpty(); ++uiCall)
    {
        const uint32_t uiId = IDS[input.Choice(sizeof(IDS) / sizeof(IDS[0]))];
        const SString strText = PickText(input, texts, MAX_TEXT_BYTES);
        const uint8_t ucCap = input.Byte();
        const uint32_t uiCap = ucCap < FIRST_CAPPED ? 0 : ucCap % (MAX_CAP + 1);
        tNow = NextTime(input, tNow);
        calls.push_back(SCall{uiId, strText, uiCap, tNow});

        g_tClock = tNow;
        g_Written.clear();
        SharedUtil::FeedReportLine(filter, counts, uiId, strText, uiCap, CollectLine);
        const std::vector<SModelOutput> expected = model.Call(uiId, strText, uiCap, tNow);

        FUZZ_CHECK(g_Written.size() == expected.size(), Describe(calls) + "lines written " +
                                                            std::to_string(g_Written.size()) + ", model " +
                                                            std::to_string(expected.size()));
        for (std::size_t i = 0; i < expected.size(); ++i)
        {
            const SharedUtil::SPendingLine& line = g_Written[i];
            const std::string strLine = SharedUtil::FormatReportLine(line, tNow, strSystemTag, strProcessTag);
            const std::string strModelLine = ModelLineText(expected[i], tNow, strModelTag, strProcessTag);
            FUZZ_CHECK(strLine == strModelLine, Describe(calls) + "line " + std::to_string(i) + "\ngot   " +
                                                    Hex(strLine) + "\nmodel " + Hex(strModelLine));
        }
    }
    return 0;
}
