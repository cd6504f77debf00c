#include <gtest/gtest.h>

#include "SharedUtil.Encoding.h"
#include "SharedUtil.File.h"
#include "SharedUtil.Path.h"
#include "SharedUtil.Registry.h"
#include "SharedUtil.ReportLog.h"
#include "SharedUtil.Windows.h"

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

using namespace SharedUtil;

namespace
{
constexpr uint32_t TEST_ID = 5730;
constexpr uint32_t CAPPED_ID = 4711;
constexpr int64_t CLOCK_TOLERANCE_SECONDS = 5;

const char* const SYSTEM_TAG_SETTINGS[] = {"qel-version-ext", "os-version", "real-os-version", "is-admin"};

std::filesystem::path ToFsPath(const SString& strPath)
{
    return std::filesystem::path(Utf8ToWide(strPath));
}

struct SParsedLine
{
    uint32_t uiId = 0;
    int64_t tTime = 0;
    std::string strSystemTag;
    std::string strProcessTag;
    std::string strText;
};

// "<id>: YYYY-MM-DD HH:MM:SS [system tag] [process tag] - <text>"
bool ParseLine(const std::string& strLine, SParsedLine& outLine)
{
    static const std::regex lineForm(
        R"(^(\d+): (\d{4})-(\d{2})-(\d{2}) (\d{2}):(\d{2}):(\d{2}) (\[[^\]]*\]) \[([^\]]*)\] - (.*)$)");
    std::smatch match;
    if (!std::regex_match(strLine, match, lineForm))
        return false;
    using namespace std::chrono;
    const year_month_day date{year{std::stoi(match[2])}, month{static_cast<unsigned>(std::stoi(match[3]))},
                              day{static_cast<unsigned>(std::stoi(match[4]))}};
    const sys_seconds tTime =
        sys_days{date} + hours{std::stoi(match[5])} + minutes{std::stoi(match[6])} + seconds{std::stoi(match[7])};
    outLine.uiId = static_cast<uint32_t>(std::stoul(match[1]));
    outLine.tTime = tTime.time_since_epoch().count();
    outLine.strSystemTag = match[8];
    outLine.strProcessTag = match[9];
    outLine.strText = match[10];
    return true;
}

class ReportLogFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ClearSettings();
        RemoveProductFolder();
    }
    void TearDown() override
    {
        RemoveProductFolder();
        ClearSettings();
    }

    static void ClearSettings()
    {
        for (const char* szName : SYSTEM_TAG_SETTINGS)
            SetSetting(szName, "");
    }

    static SString GetProductFolder() { return CombinePath(GetAllUsersAppDataPath(), "Qel Vendaro All"); }
    static SString GetLogPath() { return CombinePath(GetProductFolder(), "1.7", "report.log"); }

    static void RemoveProductFolder()
    {
        const std::filesystem::path folder = ToFsPath(GetProductFolder());
        std::error_code error;
        std::filesystem::permissions(folder / L"1.7" / L"report.log", std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add, error);
        std::filesystem::remove_all(folder, error);
    }

    static std::string ReadLog()
    {
        std::ifstream file(ToFsPath(GetLogPath()), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }

    static std::vector<std::string> ReadLogLines()
    {
        std::vector<std::string> lines;
        const std::string strLog = ReadLog();
        std::size_t uiStart = 0;
        while (uiStart < strLog.size())
        {
            const std::size_t uiEnd = strLog.find('\n', uiStart);
            if (uiEnd == std::string::npos)
            {
                lines.push_back(strLog.substr(uiStart) + "<no line feed>");
                break;
            }
            lines.push_back(strLog.substr(uiStart, uiEnd - uiStart));
            uiStart = uiEnd + 1;
        }
        return lines;
    }
};

TEST_F(ReportLogFile, NamesTheVersionFolderOfTheAllUsersFolder)
{
    EXPECT_EQ("Qel Vendaro All", GetAllUsersFolderName());
    EXPECT_EQ(&GetAllUsersFolderName(), &GetAllUsersFolderName());
    EXPECT_EQ(CombinePath(GetAllUsersAppDataPath(), "Qel Vendaro All", "1.7"), GetVersionDataFolder());
    EXPECT_FALSE(GetAllUsersAppDataPath().empty());
}

TEST_F(ReportLogFile, CreatesItsFoldersAndWritesATaggedLineEndingInALineFeed)
{
    ASSERT_FALSE(IsExistingDirectory(GetProductFolder()));
    const int64_t tBefore = static_cast<int64_t>(std::time(nullptr));
    WriteReportLog(TEST_ID, "Launcher Main: Qel directory not found from: 'C:\\Games'");
    const int64_t tAfter = static_cast<int64_t>(std::time(nullptr));

    const std::string strLog = ReadLog();
    ASSERT_FALSE(strLog.empty()) << "no file at " << GetLogPath();
    EXPECT_EQ(std::string::npos, strLog.find('\r'));
    ASSERT_EQ('\n', strLog.back());
    const std::vector<std::string> lines = ReadLogLines();
    ASSERT_EQ(1u, lines.size());
    SParsedLine line;
    ASSERT_TRUE(ParseLine(lines[0], line)) << lines[0];
    EXPECT_EQ(TEST_ID, line.uiId);
    EXPECT_GE(line.tTime, tBefore - CLOCK_TOLERANCE_SECONDS);
    EXPECT_LE(line.tTime, tAfter + CLOCK_TOLERANCE_SECONDS);
    EXPECT_EQ("[]", line.strSystemTag);
    EXPECT_EQ(SString("%05d", static_cast<int>(GetCurrentProcessId())), line.strProcessTag);
    EXPECT_EQ("Launcher Main: Qel directory not found from: 'C:\\Games'", line.strText);
}

TEST_F(ReportLogFile, ReadsTheSystemTagFromTheSettingsForEveryLine)
{
    struct SCase
    {
        const char* szSettings[std::size(SYSTEM_TAG_SETTINGS)];
        const char* szExpected;
    };
    const SCase cases[] = {
        {{"", "", "", ""}, "[]"},
        {{"1.7.0-1.00000.0", "10.0", "10.0", "1"}, "[1.00000.0 10.0 a]"},
        {{"1.7.0", "10.0", "10.0", "1"}, "[10.0 a]"},
        {{"", "6.2", "10.0", ""}, "[6.2(10.0)]"},
    };
    for (std::size_t uiRow = 0; uiRow < std::size(cases); ++uiRow)
    {
        for (std::size_t i = 0; i < std::size(SYSTEM_TAG_SETTINGS); ++i)
            SetSetting(SYSTEM_TAG_SETTINGS[i], cases[uiRow].szSettings[i]);
        EXPECT_EQ(cases[uiRow].szExpected, GetSystemInfoTag());
        WriteReportLog(TEST_ID, SString("system tag row %u", static_cast<unsigned>(uiRow)));
    }
    const std::vector<std::string> lines = ReadLogLines();
    ASSERT_EQ(std::size(cases), lines.size());
    for (std::size_t uiRow = 0; uiRow < std::size(cases); ++uiRow)
    {
        SCOPED_TRACE(cases[uiRow].szExpected);
        SParsedLine line;
        ASSERT_TRUE(ParseLine(lines[uiRow], line)) << lines[uiRow];
        EXPECT_EQ(cases[uiRow].szExpected, line.strSystemTag);
    }
}

TEST_F(ReportLogFile, WritesLineFeedsOfTheMessageUnchanged)
{
    const std::string strText = "first\nsecond\n\n third";
    WriteReportLog(TEST_ID, strText);
    const std::string strLog = ReadLog();
    ASSERT_GT(strLog.size(), strText.size() + 1);
    EXPECT_EQ(" - " + strText + "\n", strLog.substr(strLog.size() - strText.size() - 4));
    EXPECT_EQ(0u, strLog.find("5730: "));
}

TEST_F(ReportLogFile, FoldsRepeatsAndHonoursTheCap)
{
    for (const char* szText : {"fold A", "fold A", "fold A", "fold B"})
        WriteReportLog(TEST_ID, szText);
    for (const char* szText : {"capped 1", "capped 2", "capped 3", "capped 4"})
        WriteReportLog(CAPPED_ID, szText, 2);

    const std::vector<std::string> lines = ReadLogLines();
    const std::vector<std::pair<uint32_t, std::string>> expected = {{TEST_ID, "fold A"},
                                                                    {TEST_ID, "fold A  [DUP x2]"},
                                                                    {TEST_ID, "fold B"},
                                                                    {CAPPED_ID, "capped 1"},
                                                                    {CAPPED_ID, "capped 2"}};
    ASSERT_EQ(expected.size(), lines.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
    {
        SCOPED_TRACE(lines[i]);
        SParsedLine line;
        ASSERT_TRUE(ParseLine(lines[i], line));
        EXPECT_EQ(expected[i].first, line.uiId);
        EXPECT_EQ(expected[i].second, line.strText);
    }
}

TEST_F(ReportLogFile, MakesAReadOnlyLogWritableAgain)
{
    WriteReportLog(TEST_ID, "before read-only");
    const std::wstring wstrLogPath = Utf8ToWide(GetLogPath());
    ASSERT_TRUE(SetFileAttributesW(wstrLogPath.c_str(), FILE_ATTRIBUTE_READONLY));
    WriteReportLog(TEST_ID, "after read-only");
    EXPECT_EQ(0u, GetFileAttributesW(wstrLogPath.c_str()) & FILE_ATTRIBUTE_READONLY);
    const std::vector<std::string> lines = ReadLogLines();
    ASSERT_EQ(2u, lines.size());
    EXPECT_NE(std::string::npos, lines[1].find(" - after read-only"));
}

TEST_F(ReportLogFile, LosesOnlyTheLineWhoseFolderCannotBeCreated)
{
    // A file where the version folder belongs.
    const std::filesystem::path obstacle = ToFsPath(GetVersionDataFolder());
    std::filesystem::create_directories(obstacle.parent_path());
    std::ofstream(obstacle, std::ios::binary) << "obstacle";

    WriteReportLog(TEST_ID, "lost line");
    EXPECT_TRUE(std::filesystem::is_regular_file(obstacle));
    EXPECT_EQ(std::filesystem::file_size(obstacle), sizeof("obstacle") - 1);

    std::filesystem::remove(obstacle);
    WriteReportLog(TEST_ID, "kept line");
    const std::vector<std::string> lines = ReadLogLines();
    ASSERT_EQ(1u, lines.size());
    EXPECT_NE(std::string::npos, lines[0].find(" - kept line"));
}
} // namespace
