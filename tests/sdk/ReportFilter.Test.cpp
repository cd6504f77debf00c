#include <gtest/gtest.h>

#include "SharedUtil.ReportFilter.Seam.h"
#include "support/ScopedOverride.h"

#include <ctime>
#include <string>
#include <vector>

using namespace SharedUtil;

namespace
{
constexpr uint32_t ID_MAIN = 5730;
constexpr uint32_t ID_OTHER = 5731;
constexpr uint32_t ID_CAPPED = 3200;
constexpr uint32_t NO_CAP = 0;
constexpr uint32_t CAP_OF_TWO = 2;

struct SCall
{
    const char* szText;
    uint32_t uiId = ID_MAIN;
    ReportTime tTime = 0;
    uint32_t uiMaxPerId = NO_CAP;
};

// A line as the sink saw it, with the index of the call that let it out.
struct SWritten
{
    std::string strText;
    uint32_t uiId = ID_MAIN;
    uint32_t uiRepeats = 0;
    std::size_t uiCall = 0;

    bool operator==(const SWritten&) const = default;
};

void PrintTo(const SWritten& written, std::ostream* pStream)
{
    *pStream << "{" << written.strText << ", id " << written.uiId << ", x" << written.uiRepeats << ", call "
             << written.uiCall << "}";
}

ReportTime g_tNow = 0;
std::size_t g_uiCall = 0;
std::vector<SWritten> g_Written;

ReportTime ReadTestClock()
{
    return g_tNow;
}

void RecordLine(const SPendingLine& line)
{
    g_Written.push_back(SWritten{line.strText, line.uiId, line.uiRepeats, g_uiCall});
}

class ReportFilterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_tNow = 0;
        g_Written.clear();
    }

    TestSupport::CScopedOverride<ReportClockFunction> m_Clock{SetReportClockFunction, ReadTestClock};
};

struct SFilterCase
{
    const char* szName;
    std::vector<SCall> calls;
    std::vector<SWritten> expected;
};

TEST_F(ReportFilterTest, WritesTheLinesTheSequenceCallsFor)
{
    const std::vector<SFilterCase> cases = {
        {"A A A B", {{"A"}, {"A"}, {"A"}, {"B"}}, {{"A", ID_MAIN, 0, 0}, {"A", ID_MAIN, 2, 3}, {"B", ID_MAIN, 0, 3}}},
        // One repetition is written plainly (count 1), when the next line comes.
        {"A A B", {{"A"}, {"A"}, {"B"}}, {{"A", ID_MAIN, 0, 0}, {"A", ID_MAIN, 1, 2}, {"B", ID_MAIN, 0, 2}}},
        // One complete repetition of A B, then the unfinished cycle's A.
        {"A B A B A X",
         {{"A"}, {"B"}, {"A"}, {"B"}, {"A"}, {"X"}},
         {{"A", ID_MAIN, 0, 0},
          {"B", ID_MAIN, 0, 1},
          {"A", ID_MAIN, 1, 5},
          {"B", ID_MAIN, 1, 5},
          {"A", ID_MAIN, 0, 5},
          {"X", ID_MAIN, 0, 5}}},
        {"A B A B A B C",
         {{"A"}, {"B"}, {"A"}, {"B"}, {"A"}, {"B"}, {"C"}},
         {{"A", ID_MAIN, 0, 0},
          {"B", ID_MAIN, 0, 1},
          {"A", ID_MAIN, 2, 6},
          {"B", ID_MAIN, 2, 6},
          {"C", ID_MAIN, 0, 6}}},
        // A cycle begun again and broken before it completes: no count, only
        // the lines as they came.
        {"A B A C",
         {{"A"}, {"B"}, {"A"}, {"C"}},
         {{"A", ID_MAIN, 0, 0}, {"B", ID_MAIN, 0, 1}, {"A", ID_MAIN, 0, 3}, {"C", ID_MAIN, 0, 3}}},
        // Five lines: the first A has left the history when it comes again.
        {"A B C D E A",
         {{"A"}, {"B"}, {"C"}, {"D"}, {"E"}, {"A"}},
         {{"A", ID_MAIN, 0, 0},
          {"B", ID_MAIN, 0, 1},
          {"C", ID_MAIN, 0, 2},
          {"D", ID_MAIN, 0, 3},
          {"E", ID_MAIN, 0, 4},
          {"A", ID_MAIN, 0, 5}}},
        // Seconds 0 and 2 are close; by second 9 the run is quiet for too long.
        {"A@0 A@2 A@9", {{"A", ID_MAIN, 0}, {"A", ID_MAIN, 2}, {"A", ID_MAIN, 9}}, {{"A"}, {"A", ID_MAIN, 2, 2}}},
        {"A@0 A@10", {{"A", ID_MAIN, 0}, {"A", ID_MAIN, 10}}, {{"A"}, {"A", ID_MAIN, 1, 1}}},
        // A quiet second is 6 seconds after the last write, not 5.
        {"A@0 A@5 A@6 B@6",
         {{"A", ID_MAIN, 0}, {"A", ID_MAIN, 5}, {"A", ID_MAIN, 6}, {"B", ID_MAIN, 6}},
         {{"A"}, {"A", ID_MAIN, 2, 2}, {"B", ID_MAIN, 0, 3}}},
        {"same text, two ids",
         {{"A", ID_MAIN}, {"A", ID_OTHER}, {"B", ID_MAIN}},
         {{"A", ID_MAIN, 0, 0}, {"A", ID_OTHER, 0, 1}, {"B", ID_MAIN, 0, 2}}},
        // The capped third and fourth calls neither continue the run nor close
        // it although it is quiet; the next uncapped line closes it.
        {"cap of two",
         {{"C", ID_CAPPED, 0, CAP_OF_TWO},
          {"C", ID_CAPPED, 0, CAP_OF_TWO},
          {"C", ID_CAPPED, 10, CAP_OF_TWO},
          {"C", ID_CAPPED, 11, CAP_OF_TWO},
          {"X", ID_MAIN, 12}},
         {{"C", ID_CAPPED, 0, 0}, {"C", ID_CAPPED, 1, 4}, {"X", ID_MAIN, 0, 4}}},
    };

    for (const SFilterCase& testCase : cases)
    {
        SCOPED_TRACE(testCase.szName);
        CReportRepeatFilter filter;
        ReportIdCounts counts;
        g_Written.clear();
        for (g_uiCall = 0; g_uiCall < testCase.calls.size(); ++g_uiCall)
        {
            const SCall& call = testCase.calls[g_uiCall];
            g_tNow = call.tTime;
            FeedReportLine(filter, counts, call.uiId, call.szText, call.uiMaxPerId, RecordLine);
        }
        EXPECT_EQ(testCase.expected, g_Written);
    }
}

// The output loop's last turn comes after the writes. When they took longer
// than the quiet time, it finds the filter quiet, with the run already closed
// by the line just written: there is nothing left to summarise.
TEST_F(ReportFilterTest, QuietTurnAfterANewLineClosedTheRunWritesNothing)
{
    CReportRepeatFilter filter;
    ReportIdCounts counts;
    for (const char* szText : {"A", "A", "A", "B"})
        FeedReportLine(filter, counts, ID_MAIN, szText, NO_CAP, RecordLine);
    ASSERT_EQ(3u, g_Written.size());

    g_tNow = REPORT_QUIET_SECONDS + 1;
    SPendingLine line;
    EXPECT_FALSE(filter.TakeNextLine(line)) << line.strText << " x" << line.uiRepeats;
}

TEST_F(ReportFilterTest, CountsEveryCappedCallAndLeavesUncappedIdsOut)
{
    ReportIdCounts counts;
    const uint32_t uiCalls = 5;
    for (uint32_t i = 0; i < uiCalls; ++i)
        EXPECT_EQ(i < CAP_OF_TWO, CountReportCall(counts, ID_CAPPED, CAP_OF_TWO)) << "call " << i;
    EXPECT_TRUE(CountReportCall(counts, ID_MAIN, NO_CAP));
    EXPECT_EQ((ReportIdCounts{{ID_CAPPED, uiCalls}}), counts);
}

TEST_F(ReportFilterTest, TextWithZeroBytesOrLineFeedsIsComparedWhole)
{
    CReportRepeatFilter filter;
    ReportIdCounts counts;
    const SString strWithZero(std::string_view("A\0B", 3));
    const SString strCut("A");
    const SString strMultiLine("first\nsecond");
    for (const SString& strText : {strWithZero, strCut, strMultiLine})
        FeedReportLine(filter, counts, ID_MAIN, strText, NO_CAP, RecordLine);
    ASSERT_EQ(3u, g_Written.size());
    EXPECT_EQ(strWithZero, g_Written[0].strText);
    EXPECT_EQ(strCut, g_Written[1].strText);
    EXPECT_EQ(strMultiLine, g_Written[2].strText);
}

TEST(ReportClock, DefaultCountsTheSecondsOfTheCLibrarysTime)
{
    const int64_t tBefore = static_cast<int64_t>(std::time(nullptr));
    const ReportTime tClock = GetReportTime();
    const int64_t tAfter = static_cast<int64_t>(std::time(nullptr));
    EXPECT_GE(tClock, tBefore);
    EXPECT_LE(tClock, tAfter);
}

TEST(ReportLineFormat, BuildsHeaderTextAndRepeatSuffix)
{
    // 2024-05-06 12:34:56 UTC.
    const ReportTime tExample = 1714998896;
    const SString strSystemTag = "[1.00000.0 10.0 a]";
    const SString strProcessTag = "04321";
    struct SCase
    {
        SPendingLine line;
        ReportTime tTime;
        const char* szExpected;
    };
    const SCase cases[] = {
        {{"Launcher Main: Qel directory not found from: 'C:\\Games'", 5730, 0},
         tExample,
         "5730: 2024-05-06 12:34:56 [1.00000.0 10.0 a] [04321] - Launcher Main: Qel directory not found from: "
         "'C:\\Games'\n"},
        // A count of 1 carries no suffix.
        {{"x", 7, 1}, tExample, "7: 2024-05-06 12:34:56 [1.00000.0 10.0 a] [04321] - x\n"},
        {{"x", 7, 2}, tExample, "7: 2024-05-06 12:34:56 [1.00000.0 10.0 a] [04321] - x  [DUP x2]\n"},
        {{"a\nb", 4294967295u, 4294967295u},
         0,
         "4294967295: 1970-01-01 00:00:00 [1.00000.0 10.0 a] [04321] - a\nb  [DUP x4294967295]\n"},
        // The last second of a leap year.
        {{"", 1, 0}, 1735689599, "1: 2024-12-31 23:59:59 [1.00000.0 10.0 a] [04321] - \n"},
    };
    for (const SCase& testCase : cases)
    {
        SCOPED_TRACE(testCase.szExpected);
        EXPECT_EQ(testCase.szExpected, FormatReportLine(testCase.line, testCase.tTime, strSystemTag, strProcessTag));
    }
}

TEST(SystemInfoTag, JoinsVersionOsAndAdminFlag)
{
    struct SCase
    {
        const char* szVersionExt;
        const char* szOsVersion;
        const char* szRealOsVersion;
        const char* szIsAdmin;
        const char* szExpected;
    };
    const SCase cases[] = {
        {"", "", "", "", "[]"},
        {"1.7.0-1.00000.0", "10.0", "10.0", "1", "[1.00000.0 10.0 a]"},
        {"1.7.0", "10.0", "10.0", "1", "[10.0 a]"},
        {"", "6.2", "10.0", "", "[6.2(10.0)]"},
        // Only after the first dash; the real version alone is not shown.
        {"1.7.0-1-2", "", "10.0", "", "[1-2]"},
        // Only exactly "1" marks an administrator.
        {"", "", "", "1 ", "[]"},
        {"", "", "", "yes", "[]"},
        {"-", "", "", "", "[]"},
    };
    for (const SCase& testCase : cases)
    {
        SCOPED_TRACE(testCase.szExpected);
        EXPECT_EQ(testCase.szExpected, BuildSystemInfoTag(testCase.szVersionExt, testCase.szOsVersion,
                                                          testCase.szRealOsVersion, testCase.szIsAdmin));
    }
}

// The settings are other components' (or anyone's with the rights): no value
// may break the line or make it long.
TEST(SystemInfoTag, ShowsControlCharactersAsBlanksAndCutsEachValue)
{
    const SString strAtCap(std::string(REPORT_TAG_FIELD_MAX_BYTES, 'x'));
    const SString strLong(std::string(REPORT_TAG_FIELD_MAX_BYTES * 4, 'y'));
    // "é" is 0xC3 0xA9: at the cut it would be split, so it is left out whole.
    const SString strSplitAtCut = SString(std::string(REPORT_TAG_FIELD_MAX_BYTES - 1, 'z')) + "\xc3\xa9";
    struct SCase
    {
        const char* szCase;
        std::string strVersionExt;
        std::string strOsVersion;
        std::string strRealOsVersion;
        std::string strExpected;
    };
    const std::vector<SCase> cases = {
        {"line feed", "1.7.0-1\n5725: forged", "", "", "[1 5725: forged]"},
        {"carriage return, tab", "", "10.0\r\t", "10.0", "[10.0  (10.0)]"},
        {"the same after cleaning", "", "10.0\n", "10.0\r", "[10.0]"},
        {"zero byte, escape, delete", "", std::string("a\0b\x1b\x7f", 5), "", "[a b  ()]"},
        {"C1 controls (NEL)", "",
         "a\xc2\x85"
         "b\xc2\x9f"
         "c\xc2\xa0",
         "", "[a b c\xc2\xa0()]"},
        {"line and paragraph separators", "",
         "a\xe2\x80\xa8"
         "b\xe2\x80\xa9"
         "c\xe2\x80\xaa",
         "", "[a b c\xe2\x80\xaa()]"},
        {"a lone lead byte at the end", "", "a\xc2", "", "[a\xc2()]"},
        {"at the cap", "-" + strAtCap, strAtCap, strAtCap, "[" + strAtCap + " " + strAtCap + "]"},
        {"past the cap", "-" + strLong, "", "", "[" + strLong.Slice(0, REPORT_TAG_FIELD_MAX_BYTES) + "]"},
        {"equal once cut", "", strAtCap + "1", strAtCap + "2", "[" + strAtCap + "]"},
        {"a character split by the cut", "-" + strSplitAtCut, "", "",
         "[" + strSplitAtCut.Slice(0, REPORT_TAG_FIELD_MAX_BYTES - 1) + "]"},
        {"control characters at the cut", "", std::string(REPORT_TAG_FIELD_MAX_BYTES + 2, '\n'), "",
         "[" + SString(std::string(REPORT_TAG_FIELD_MAX_BYTES, ' ')) + "()]"},
    };
    for (const SCase& testCase : cases)
    {
        SCOPED_TRACE(testCase.szCase);
        EXPECT_EQ(testCase.strExpected,
                  BuildSystemInfoTag(testCase.strVersionExt, testCase.strOsVersion, testCase.strRealOsVersion, ""));
    }
}
} // namespace
