#include <gtest/gtest.h>

#include "SharedUtil.Path.h"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace
{
struct SPathCase
{
    const char* szInput;
    const char* szExpected;
};
} // namespace

TEST(Path, NormalizeSeparatorsKeepsOnlyARootDouble)
{
    const SPathCase cases[] = {
        {"", ""},
        {R"(a/b\c)", R"(a\b\c)"},
        {R"(C:/dir//file)", R"(C:\dir\file)"},
        {R"(C://dir)", R"(C:\dir)"}, // drive letter: collapsed
        {R"(//server/share//x)", R"(\\server\share\x)"},
        {R"(\\\x)", R"(\\x)"}, // a longer run at the start keeps exactly two
        {R"(ab://c//d)", R"(ab:\\c\d)"},
        {R"(ab:\\c)", R"(ab:\\c)"},     // kept: scheme-like, no earlier backslash
        {R"(ab:\\\c)", R"(ab:\\c)"},    // kept as exactly two
        {R"(a\b:\\c)", R"(a\b:\c)"},    // collapsed: a backslash precedes the double
        {R"(C:ab://c)", R"(C:ab:\\c)"}, // kept: the drive colon is not the one before the double
        {R"(dir\\\\\file)", R"(dir\file)"},
        {R"(dir\)", R"(dir\)"}, // trailing separator kept
        {R"(x/./y/../z)", R"(x\.\y\..\z)"},
        {R"(\\)", R"(\\)"},
        {R"(Mixed/CASE\Kept)", R"(Mixed\CASE\Kept)"},
    };
    for (const SPathCase& testCase : cases)
    {
        SCOPED_TRACE(testCase.szInput);
        EXPECT_EQ(testCase.szExpected, SharedUtil::NormalizeSeparators(testCase.szInput));
    }
}

TEST(Path, CombinePathAlwaysInsertsTheSeparator)
{
    struct SCase
    {
        const char* szFirst;
        const char* szSecond;
        const char* szExpected;
    };
    const SCase cases[] = {
        {R"(C:\dir\)", "file", R"(C:\dir\file)"},      {"", "file", R"(\file)"},        {"dir", "", R"(dir\)"},
        {R"(\\server)", "share", R"(\\server\share)"}, {"dir", "/file", R"(dir\file)"},
    };
    for (const SCase& testCase : cases)
    {
        SCOPED_TRACE(std::string(testCase.szFirst) + " + " + testCase.szSecond);
        EXPECT_EQ(testCase.szExpected, SharedUtil::CombinePath(testCase.szFirst, testCase.szSecond));
    }
}

TEST(Path, CombinePathOfFivePartsSkipsOnlyEmptyLastParts)
{
    struct SCase
    {
        const char* szParts[5];
        const char* szExpected;
    };
    const SCase cases[] = {
        {{"a", "", "c", "", ""}, R"(a\c)"},
        {{"a", "b", "", "", ""}, R"(a\b\)"}, // an empty third part still adds a separator
        {{"a", "b", "c", "", "e"}, R"(a\b\c\e)"},
        {{"a", "b", "c", "d", ""}, R"(a\b\c\d)"},
        {{"a", "b", "c", "d", "e"}, R"(a\b\c\d\e)"},
        {{"C:", "x", "y/z", "", ""}, R"(C:\x\y\z)"},
    };
    for (const SCase& testCase : cases)
    {
        SCOPED_TRACE(testCase.szExpected);
        EXPECT_EQ(testCase.szExpected,
                  SharedUtil::CombinePath(testCase.szParts[0], testCase.szParts[1], testCase.szParts[2],
                                          testCase.szParts[3], testCase.szParts[4]));
    }
    EXPECT_EQ(R"(a\b\c)", SharedUtil::CombinePath("a", "b", "c"));
}

TEST(Path, SplitFolderAndFileSplitsAtTheLastSeparator)
{
    struct SCase
    {
        const char* szPath;
        const char* szFolder;
        const char* szFileName;
    };
    const SCase cases[] = {
        {"C:/dir/file.txt", R"(C:\dir)", "file.txt"},
        {"file.txt", "", "file.txt"},
        {R"(C:\dir\)", R"(C:\dir)", ""},
        {R"(C:\)", "C:", ""},
        {R"(\\server)", R"(\)", "server"}, // the UNC double splits at its second backslash
        {"", "", ""},
        {R"(a\\b\\c.d)", R"(a\b)", "c.d"},
    };
    for (const SCase& testCase : cases)
    {
        SCOPED_TRACE(testCase.szPath);
        SString strFolder = "untouched";
        SString strFileName = "untouched";
        SharedUtil::SplitFolderAndFile(testCase.szPath, &strFolder, &strFileName);
        EXPECT_EQ(testCase.szFolder, strFolder);
        EXPECT_EQ(testCase.szFileName, strFileName);
        EXPECT_EQ(testCase.szFolder, SharedUtil::GetFolderPart(testCase.szPath));
        EXPECT_EQ(testCase.szFileName, SharedUtil::GetFileNamePart(testCase.szPath));
    }
}

TEST(Path, SplitFolderAndFileSkipsNullOutputs)
{
    SString strFolder;
    SharedUtil::SplitFolderAndFile("a/b", &strFolder, nullptr);
    EXPECT_EQ("a", strFolder);

    SString strFileName;
    SharedUtil::SplitFolderAndFile("a/b", nullptr, &strFileName);
    EXPECT_EQ("b", strFileName);
}

TEST(Path, JoinPartsJoinsTheClampedRange)
{
    const std::vector<SString> parts = {"a", "b", "c"};
    constexpr int32_t MAX_INT = std::numeric_limits<int32_t>::max();
    constexpr int32_t MIN_INT = std::numeric_limits<int32_t>::min();
    struct SJoinCase
    {
        int32_t iFirst;
        int32_t iCount;
        std::string strExpected;
    };
    const SJoinCase cases[] = {
        {0, 3, "a\\b\\c"},
        {0, 2, "a\\b"},
        {1, 1, "b"},
        {0, 0, ""},
        {-1, 2, "a"}, // starts at 0, ends before first + count
        {2, 5, "c"},  // ends at the last part
        {3, 1, ""},
        {0, -1, ""},
        {MAX_INT, MAX_INT, ""}, // first + count must not overflow
        {MIN_INT, MAX_INT, ""},
    };
    for (const SJoinCase& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.iFirst) + ", " + std::to_string(c.iCount));
        EXPECT_EQ(c.strExpected, SharedUtil::JoinParts(parts, "\\", c.iFirst, c.iCount));
    }
    EXPECT_EQ("a, b", SharedUtil::JoinParts(parts, ", ", 0, 2));
    EXPECT_EQ("", SharedUtil::JoinParts({}, "\\", 0, 1));
    EXPECT_EQ("\\x\\", SharedUtil::JoinParts({"", "x", ""}, "\\", 0, 3)); // empty parts keep their separators
}
