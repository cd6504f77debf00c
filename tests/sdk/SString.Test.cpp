#include <gtest/gtest.h>

#include "SString.Seam.h"
#include "SString.h"
#include "SharedUtil.Assert.h"
#include "support/AssertRecorder.h"
#include "support/ScopedOverride.h"

#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

namespace
{
using namespace std::string_literals;

constexpr int FAILURE = -1;
// A text well past any stack buffer or small first guess of the C library.
constexpr std::size_t LONG_TEXT_LENGTH = 100 * 1024;

using TestSupport::CAssertRecorder;
using TestSupport::CScopedOverride;

int FailMeasuring(char*, std::size_t, const char*, va_list)
{
    return FAILURE;
}

// Any negative result counts as a failure.
int FailMeasuringWithOtherNegative(char*, std::size_t, const char*, va_list)
{
    return -2;
}

// These measure for real: the measuring pass has no buffer.
int FailWriting(char* szBuffer, std::size_t, const char* szFormat, va_list vlArgs)
{
    return szBuffer ? FAILURE : std::vsnprintf(nullptr, 0, szFormat, vlArgs);
}

int WriteNothing(char* szBuffer, std::size_t, const char* szFormat, va_list vlArgs)
{
    return szBuffer ? 0 : std::vsnprintf(nullptr, 0, szFormat, vlArgs);
}

struct SPassRecord
{
    bool bHadBuffer;
    std::size_t uiBufferSize;
    int iResult;
};
std::vector<SPassRecord> g_passes;

int RecordPass(char* szBuffer, std::size_t uiBufferSize, const char* szFormat, va_list vlArgs)
{
    int iResult = std::vsnprintf(szBuffer, uiBufferSize, szFormat, vlArgs);
    g_passes.push_back({szBuffer != nullptr, uiBufferSize, iResult});
    return iResult;
}
} // namespace

TEST(SString, ConstructsFromCStringsAndStandardStrings)
{
    const char* szNull = nullptr;
    EXPECT_EQ("", SString());
    EXPECT_EQ("", SString(szNull));
    EXPECT_EQ("text", SString("text"));
    // Without values a format is plain text.
    EXPECT_EQ("100% sure %s", SString("100% sure %s"));
    EXPECT_EQ("a\0b"s, SString(std::string("a\0b"s)));
    EXPECT_EQ("a\0b"s, SString(std::string_view("a\0b", 3)));
}

TEST(SString, PrintfStyleConstruction)
{
    const char* szNullFormat = nullptr;
    struct
    {
        SString strActual;
        const char* szExpected;
    } const cases[] = {
        {SString(szNullFormat, 1), ""},
        {SString("%s", ""), ""},
        {SString("ab%cde", 0), "ab"}, // ends at the first zero byte
        {SString("%u", 5u), "5"},     // one integer value is a value, never a length
        {SString("%d", -7), "-7"},
        {SString("Error %u: %s", 126u, "not found"), "Error 126: not found"},
        {SString("%.2f|%c|%x|%%", 1.5, 'q', 255), "1.50|q|ff|%"},
        {SString("%lld", std::numeric_limits<long long>::min()), "-9223372036854775808"},
    };
    for (const auto& test : cases)
    {
        SCOPED_TRACE(test.szExpected);
        EXPECT_EQ(test.szExpected, test.strActual);
    }
}

TEST(SString, FormatsLongTextsInOnePass)
{
    const std::string strLong(LONG_TEXT_LENGTH, 'x');
    EXPECT_EQ(strLong, SString("%s", strLong.c_str()));
    EXPECT_EQ(std::string(LONG_TEXT_LENGTH - 1, '0') + "7", SString("%0*d", int(LONG_TEXT_LENGTH), 7));
    EXPECT_EQ("<" + strLong + ">", SString().SetFormatted("<%s>", strLong.c_str()));
}

TEST(SString, MeasuresOnceThenWritesOnceWithRoomForTheZero)
{
    g_passes.clear();
    {
        CScopedOverride override(SharedUtil::SetFormatPassFunction, RecordPass);
        EXPECT_EQ("Value 3 of four", SString("Value %d of %s", 3, "four"));
    }
    ASSERT_EQ(2u, g_passes.size());
    EXPECT_FALSE(g_passes[0].bHadBuffer);
    EXPECT_EQ(0u, g_passes[0].uiBufferSize);
    EXPECT_EQ(15, g_passes[0].iResult);
    EXPECT_TRUE(g_passes[1].bHadBuffer);
    EXPECT_EQ(16u, g_passes[1].uiBufferSize);
    EXPECT_EQ(15, g_passes[1].iResult);
}

TEST(SString, CLibraryFailuresGiveTheInvalidParameterTextOrNothing)
{
    struct
    {
        const char* szName;
        SharedUtil::FormatPassFunction pFunction;
        const char* szExpected;
    } const cases[] = {
        {"measuring fails", FailMeasuring, "[Invalid parameter] Value #d of #s"},
        {"measuring gives another negative", FailMeasuringWithOtherNegative, "[Invalid parameter] Value #d of #s"},
        {"writing fails", FailWriting, "[Invalid parameter] Value #d of #s"},
        {"writing gives nothing", WriteNothing, ""},
    };
    for (const auto& test : cases)
    {
        SCOPED_TRACE(test.szName);
        CScopedOverride override(SharedUtil::SetFormatPassFunction, test.pFunction);
        SString strText("old content");
        EXPECT_EQ(test.szExpected, strText.SetFormatted("Value %d of %s", 3, "four"));
    }
    EXPECT_EQ("Value 3 of four", SString("Value %d of %s", 3, "four"));
}

#if !defined(_WIN32)
TEST(SString, RealCLibraryFailureGivesTheInvalidParameterText)
{
    // No multibyte form of U+0100 in the "C" locale: vsnprintf fails with EILSEQ.
    EXPECT_EQ("[Invalid parameter] Value #ls", SString("Value %ls", L"\x100"));
}
#endif

TEST(SString, SetFormattedMayTakeItsOwnTextAsValue)
{
    SString strText("inner");
    EXPECT_EQ("<inner>", strText.SetFormatted("<%s>", strText.c_str()));
    SString strFormat("%d%%");
    EXPECT_EQ("5%", strFormat.SetFormatted(strFormat.c_str(), 5));
}

TEST(SString, Concatenates)
{
    const char* szNull = nullptr;
    const SString strLeft("left");
    EXPECT_EQ("leftright", strLeft + SString("right"));
    EXPECT_EQ("leftright", strLeft + "right");
    EXPECT_EQ("rightleft", "right" + strLeft);
    EXPECT_EQ("left", strLeft + szNull);
    EXPECT_EQ("left", strLeft);
}

TEST(SString, SplitAt)
{
    struct
    {
        std::string strText;
        const char* szDelimiter;
        int32_t iIndex;
        bool bFound;
        std::string strLeft;
        std::string strRight;
    } const cases[] = {
        {"a,b,c", ",", 1, true, "a", "b,c"},
        {"a,b,c", ",", 2, true, "a,b", "c"},
        {"a,b,c", ",", 3, false, "a,b,c", ""},
        {"a,b,c", ",", -1, true, "a,b", "c"},
        {"a,b,c", ",", -2, true, "a", "b,c"},
        {"a,b,c", ",", -3, false, "", "a,b,c"},
        {"a,b,", ",", 2, true, "a,b", ""},
        {"a,", ",", 2, false, "a,", ""}, // second search starts at the end
        {"", ",", 1, false, "", ""},
        {"", ",", -1, false, "", ""},
        {"a::b::c", "::", 2, true, "a::b", "c"},
        {"a::b::c", "::", -1, true, "a::b", "c"},
        {",,,", ",", 2, true, ",", ","},
        {"aaa", "aa", 2, false, "aaa", ""}, // occurrences do not overlap
        {"aaa", "aa", -1, true, "a", ""},
        {"aaa", "aa", -2, false, "", "aaa"},
        {"abc", "", 1, true, "", "abc"},
        {"abc", "", -1, true, "abc", ""},
        {"", "", 1, false, "", ""},
        {"", "", -1, true, "", ""},
        {"a\0b,c"s, "x", 1, false, "a", ""}, // not found: up to the first zero byte
        {"a\0b,c"s, "x", -1, false, "", "a"},
        {"a\0b,c"s, ",", 1, true, "a\0b"s, "c"},
        {"x", "x", std::numeric_limits<int32_t>::min(), false, "", "x"},
    };
    for (const auto& test : cases)
    {
        SCOPED_TRACE(test.strText + " at " + test.szDelimiter + " " + std::to_string(test.iIndex));
        SString strLeft("old"), strRight("old");
        EXPECT_EQ(test.bFound, SString(test.strText).SplitAt(test.szDelimiter, &strLeft, &strRight, test.iIndex));
        EXPECT_EQ(test.strLeft, strLeft);
        EXPECT_EQ(test.strRight, strRight);
        EXPECT_EQ(test.bFound, SString(test.strText).SplitAt(test.szDelimiter, nullptr, nullptr, test.iIndex));
    }
}

TEST(SString, SplitAtMayWriteIntoTheStringItself)
{
    SString strText("a,b,c"), strRight;
    EXPECT_TRUE(strText.SplitAt(",", &strText, &strRight));
    EXPECT_EQ("a", strText);
    EXPECT_EQ("b,c", strRight);

    SString strLeft;
    strText = "a,b,c";
    EXPECT_TRUE(strText.SplitAt(",", &strLeft, &strText, -1));
    EXPECT_EQ("a,b", strLeft);
    EXPECT_EQ("c", strText);

    strText = "a,b,c";
    EXPECT_FALSE(strText.SplitAt(";", &strText, nullptr));
    EXPECT_EQ("a,b,c", strText);
}

TEST(SString, SplitAtIndexZeroAssertsAndFindsNothing)
{
    CAssertRecorder recorder;
    SString strLeft, strRight("old");
    EXPECT_FALSE(SString("a,b").SplitAt(",", &strLeft, &strRight, 0));
    EXPECT_EQ(std::vector<std::string>{"iIndex"}, recorder.Asserts());
    EXPECT_EQ("a,b", strLeft);
    EXPECT_EQ("", strRight);
}

TEST(SString, PartAfter)
{
    SString strLeft;
    EXPECT_EQ("b,c", SString("a,b,c").PartAfter(","));
    EXPECT_EQ("c", SString("a,b,c").PartAfter(",", &strLeft, -1));
    EXPECT_EQ("a,b", strLeft);
    EXPECT_EQ("", SString("a,b,c").PartAfter(";", &strLeft));
    EXPECT_EQ("a,b,c", strLeft);
}

TEST(SString, SplitInto)
{
    struct
    {
        const char* szText;
        const char* szDelimiter;
        unsigned int uiMaxCount;
        unsigned int uiMinCount;
        std::vector<std::string> parts;
    } const cases[] = {
        {"a\\b\\c", "\\", 0, 0, {"a", "b", "c"}},
        {"\\a", "\\", 0, 0, {"", "a"}},
        {"a\\", "\\", 0, 0, {"a", ""}},
        {"", "\\", 0, 0, {""}},
        {"a\\b\\c", "\\", 2, 0, {"a", "b\\c"}}, // the last part keeps the rest
        {"a\\b\\c\\d", "\\", 3, 0, {"a", "b", "c\\d"}},
        {"a\\b\\c", "\\", 1, 0, {"a\\b\\c"}},
        {"a", "\\", 0, 3, {"a", "", ""}},
        {"a\\b\\c", "\\", 0, 2, {"a", "b", "c"}}, // more parts than the minimum
        {"a::b:c", "::", 0, 0, {"a", "b:c"}},
    };
    for (const auto& test : cases)
    {
        SCOPED_TRACE(std::string(test.szText) + " max " + std::to_string(test.uiMaxCount) + " min " +
                     std::to_string(test.uiMinCount));
        std::vector<SString> parts{"old"};
        SString(test.szText).SplitInto(test.szDelimiter, parts, test.uiMaxCount, test.uiMinCount);
        EXPECT_EQ(test.parts, std::vector<std::string>(parts.begin(), parts.end()));
    }
}

TEST(SString, SplitIntoAnEmptyDelimiterAssertsAndGivesTheWhole)
{
    CAssertRecorder recorder;
    std::vector<SString> parts;
    SString("a,b").SplitInto("", parts);
    EXPECT_EQ(std::vector<std::string>{"bHasDelimiter"}, recorder.Asserts());
    EXPECT_EQ(std::vector<SString>{"a,b"}, parts);
}

TEST(SString, Slice)
{
    constexpr int32_t INT32_LOWEST = std::numeric_limits<int32_t>::min();
    constexpr int32_t INT32_HIGHEST = std::numeric_limits<int32_t>::max();
    struct
    {
        int32_t iStart;
        int32_t iLength;
        const char* szExpected;
    } const cases[] = {
        {2, 3, "cde"},
        {-2, 3, "a"}, // a negative start shortens the length
        {4, SString::SLICE_TO_END, "ef"},
        {0, SString::SLICE_TO_END, "abcdef"},
        {10, 2, ""},
        {6, 1, ""},
        {2, -1, ""},
        {2, 0, ""},
        {-10, 3, ""},
        {5, 100, "f"},
        {INT32_HIGHEST, INT32_HIGHEST, ""}, // no signed overflow
        {INT32_LOWEST, INT32_HIGHEST, ""},
        {INT32_LOWEST, INT32_LOWEST, ""},
    };
    const SString strText("abcdef");
    for (const auto& test : cases)
    {
        SCOPED_TRACE(std::to_string(test.iStart) + ", " + std::to_string(test.iLength));
        EXPECT_EQ(test.szExpected, strText.Slice(test.iStart, test.iLength));
    }
    EXPECT_EQ("ef", strText.Slice(4));
    EXPECT_EQ("abcdef", strText);
}

TEST(SString, ReplaceAll)
{
    struct
    {
        const char* szText;
        const char* szFind;
        const char* szWith;
        bool bRescan;
        const char* szExpected;
    } const cases[] = {
        {"100%", "%", "#", false, "100#"},
        {"%d of %s", "%", "#", false, "#d of #s"},
        {"aaaa", "aa", "a", true, "a"},
        {"aaaa", "aa", "a", false, "aa"},
        {"a\\\\\\\\\\b", "\\\\", "\\", true, "a\\b"}, // any run of backslashes collapses
        {"a\\\\\\\\\\b", "\\\\", "\\", false, "a\\\\\\b"},
        {"xax", "x", "xx", false, "xxaxx"}, // the inserted text is not searched again
        {"a.b.c", ".", "", false, "abc"},
        {"abc", "x", "y", false, "abc"},
        {"ab", "abc", "x", false, "ab"},
        {"", "a", "b", false, ""},
        {"abc", "c", nullptr, false, "ab"},
    };
    for (const auto& test : cases)
    {
        SCOPED_TRACE(std::string(test.szText) + " / " + test.szFind);
        const SString strText(test.szText);
        EXPECT_EQ(test.szExpected, strText.ReplaceAll(test.szFind, test.szWith, test.bRescan));
        EXPECT_EQ(test.szText, strText);
    }
}

TEST(SString, ReplaceAllThatWouldNeverEndAssertsAndReturns)
{
    CAssertRecorder recorder;
    EXPECT_EQ("abc", SString("abc").ReplaceAll("", "x"));
    EXPECT_EQ("axxc", SString("abc").ReplaceAll("b", "xx", false));
    EXPECT_EQ(std::vector<std::string>{"bHasFind"}, recorder.Asserts());
    // A rescan that would find its own replacement forever replaces once.
    EXPECT_EQ("abbc", SString("abc").ReplaceAll("b", "bb", true));
    EXPECT_EQ((std::vector<std::string>{"bHasFind", "bRescanEnds"}), recorder.Asserts());
}

TEST(SString, StripTrailing)
{
    struct
    {
        const char* szText;
        const char* szTail;
        const char* szExpected;
    } const cases[] = {
        {"C:\\dir\\\\", "\\", "C:\\dir"},
        {"a b  ", " ", "a b"},
        {"\\\\\\", "\\", ""},
        {"abcabc", "bc", "abca"},
        {"abcBC", "bc", "abcBC"}, // case matters
        {"ab", "xyz", "ab"},
        {"", "\\", ""},
    };
    for (const auto& test : cases)
    {
        SCOPED_TRACE(test.szText);
        EXPECT_EQ(test.szExpected, SString(test.szText).StripTrailing(test.szTail));
    }
}

TEST(SString, StripTrailingAnEmptyTailAssertsAndReturns)
{
    CAssertRecorder recorder;
    EXPECT_EQ("ab", SString("ab").StripTrailing(""));
    EXPECT_EQ(std::vector<std::string>{"bHasTail"}, recorder.Asserts());
}

TEST(SString, StartsAndEndsWithNoCase)
{
    struct
    {
        std::string strText;
        std::string strOther;
        bool bStarts;
        bool bEnds;
    } const cases[] = {
        {"Launcher.EXE", ".exe", false, true},
        {"Launcher.EXE", "LAUNCH", true, false},
        {"Launcher.EXE", "launcher.exe", true, true},
        {"ab", "", true, true},
        {"", "", true, true},
        {"ab", "abc", false, false},
        {"ab", "xab", false, false},
        {"A@[", "a`{", false, false},           // only letters fold
        {"\xC3\x89", "\xC3\xA9", false, false}, // only ASCII letters fold
        {"ab\0x"s, "AB\0y"s, true, true},       // compared as C strings
    };
    for (const auto& test : cases)
    {
        SCOPED_TRACE(test.strText + " / " + test.strOther);
        EXPECT_EQ(test.bStarts, SString(test.strText).StartsWithNoCase(test.strOther));
        EXPECT_EQ(test.bEnds, SString(test.strText).EndsWithNoCase(test.strOther));
    }
}
