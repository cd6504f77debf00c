#include <gtest/gtest.h>

#include "SharedUtil.Encoding.h"
#include "SharedUtil.FileAppend.Win32.Seam.h"
#include "SharedUtil.File.h"
#include "SharedUtil.FileAppend.Win32.h"
#include "SharedUtil.PathQuery.Win32.h"
#include "SharedUtil.Path.h"
#include "SharedUtil.Registry.h"
#include "SharedUtil.ReportFilter.h"
#include "SharedUtil.ReportLog.Win32.h"
#include "SharedUtil.ScopedHandle.Win32.h"
#include "SharedUtil.Windows.h"
#include "sdk/helpers/ReportLogWriter.h"
#include "support/AppendFaults.Win32.h"
#include "support/HostLink.Win32.h"
#include "support/ProductSettings.Win32.h"
#include "support/ScopedOverride.h"
#include "support/Win32TestSupport.Win32.h"

#include <winioctl.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <ctime>
#include <filesystem>
#include <iterator>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <utility>
#include <vector>

using namespace SharedUtil;
using SharedUtil::CScopedKernelHandle;

namespace
{
constexpr uint32_t TEST_ID = 5730;
constexpr uint32_t CAPPED_ID = 4711;
constexpr int64_t CLOCK_TOLERANCE_SECONDS = 5;

const char* const SYSTEM_TAG_SETTINGS[] = {"qel-version-ext", "os-version", "real-os-version", "is-admin"};
// Settings in the order of SYSTEM_TAG_SETTINGS, for the guard.
const std::vector<std::string> SYSTEM_TAG_SETTING_NAMES(std::begin(SYSTEM_TAG_SETTINGS), std::end(SYSTEM_TAG_SETTINGS));

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
// The header alone goes through the regex: matching a 10 KB message with it
// would recurse deep enough to overflow the stack.
bool ParseLine(const std::string& strLine, SParsedLine& outLine)
{
    static const std::regex headerForm(
        R"(^(\d+): (\d{4})-(\d{2})-(\d{2}) (\d{2}):(\d{2}):(\d{2}) (\[[^\]]*\]) \[([^\]]*)\] - )");
    constexpr std::size_t HEADER_MAX_BYTES = 256;
    const std::string strHead = strLine.substr(0, HEADER_MAX_BYTES);
    std::smatch match;
    if (!std::regex_search(strHead, match, headerForm) || strLine.find('\n') != std::string::npos)
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
    outLine.strText = strLine.substr(static_cast<std::size_t>(match.length(0)));
    return true;
}

// The all-users application-data folder as the environment names it,
// independently of the shell's folder query.
std::wstring GetProgramDataFolder()
{
    constexpr DWORD VALUE_UNITS = MAX_PATH;
    wchar_t wszValue[VALUE_UNITS] = {};
    const DWORD dwLength = GetEnvironmentVariableW(L"ProgramData", wszValue, VALUE_UNITS);
    return dwLength > 0 && dwLength < VALUE_UNITS ? std::wstring(wszValue) : std::wstring();
}

class ReportLogFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_Settings.DeleteAll();
        RemoveProductFolder();
    }
    void TearDown() override { RemoveProductFolder(); }

    static SString GetProductFolder() { return CombinePath(GetAllUsersAppDataPath(), "Qel Vendaro All"); }
    static SString GetVersionFolder() { return CombinePath(GetProductFolder(), "1.7"); }
    static SString GetLogPath() { return CombinePath(GetVersionFolder(), "report.log"); }

    static void RemoveProductFolder() { TestSupport::RemoveFolderTree(ToFsPath(GetProductFolder())); }

    static std::string ReadLog() { return TestSupport::ReadBytesFromFile(ToFsPath(GetLogPath())); }

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

    TestSupport::CProductSettingsGuard m_Settings{SYSTEM_TAG_SETTING_NAMES};
};

TEST_F(ReportLogFile, NamesTheVersionFolderOfTheAllUsersFolder)
{
    const std::wstring wstrProgramData = GetProgramDataFolder();
    ASSERT_FALSE(wstrProgramData.empty());
    const SString& strName = GetAllUsersFolderName();
    EXPECT_EQ("Qel Vendaro All", GetAllUsersFolderName());
    EXPECT_EQ("Qel Vendaro All", strName);
    EXPECT_EQ(WideToUtf8(wstrProgramData + L"\\Qel Vendaro All\\1.7"), GetVersionDataFolder());
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
    ASSERT_TRUE(TestSupport::WriteBytesToFile(obstacle, "obstacle"));

    WriteReportLog(TEST_ID, "lost line");
    EXPECT_TRUE(std::filesystem::is_regular_file(obstacle));
    EXPECT_EQ("obstacle", TestSupport::ReadBytesFromFile(obstacle));

    std::filesystem::remove(obstacle);
    WriteReportLog(TEST_ID, "kept line");
    const std::vector<std::string> lines = ReadLogLines();
    ASSERT_EQ(1u, lines.size());
    EXPECT_NE(std::string::npos, lines[0].find(" - kept line"));
}
} // namespace

// Anyone who may read the log may lock it whole: each line gives up after a
// short wait, and the process waits no longer than its budget in all.
TEST_F(ReportLogFile, ALockOnTheWholeLogCostsLinesNotTime)
{
    WriteReportLog(TEST_ID, "before the lock");
    constexpr uint32_t LINES_PER_LOCK = 20;
    const TestSupport::ELockMode modes[] = {TestSupport::ELockMode::SHARED, TestSupport::ELockMode::EXCLUSIVE};
    uint32_t uiLines = 0;
    uint32_t uiTries = 0;
    for (TestSupport::ELockMode eMode : modes)
    {
        SCOPED_TRACE(eMode == TestSupport::ELockMode::SHARED ? "shared" : "exclusive");
        TestSupport::CFileLockHolder holder(ToFsPath(GetLogPath()).wstring(), TestSupport::ELockedRange::WHOLE_FILE,
                                            eMode);
        ASSERT_TRUE(holder.IsHeld());
        const TestSupport::CAppendLockTries tries;
        for (uint32_t uiLine = 0; uiLine < LINES_PER_LOCK; ++uiLine, ++uiLines)
            WriteReportLog(TEST_ID, SString("under the lock %u", static_cast<unsigned>(uiLines)));
        uiTries += tries.GetCount();
    }
    // Every line tried at least once; every further try came after a pause
    // that spent at least APPEND_LOCK_RETRY_MS of the budget.
    EXPECT_LE(uiLines, uiTries);
    EXPECT_GE(uiLines + REPORT_LOCK_BUDGET_MS / APPEND_LOCK_RETRY_MS, uiTries);

    // Once the lock is gone, lines are written again.
    WriteReportLog(TEST_ID, "after the lock");
    const std::vector<std::string> lines = ReadLogLines();
    ASSERT_EQ(2u, lines.size());
    EXPECT_NE(std::string::npos, lines[0].find(" - before the lock"));
    EXPECT_NE(std::string::npos, lines[1].find(" - after the lock"));
}

// A disk that fills up in the middle of a line, then has room again.
TEST_F(ReportLogFile, ALineCutShortByAFullDiskLeavesNothingBehind)
{
    WriteReportLog(TEST_ID, "before the disk filled up");
    {
        TestSupport::CScopedOverride write(SetAppendWriteFunction, &TestSupport::WriteHalfThenFailAsDiskFull);
        WriteReportLog(TEST_ID, "Launcher Main: Launch: 'C:\\Games\\App', Qel: 'C:\\Games\\App\\qel'");
    }
    WriteReportLog(TEST_ID, "after room was made");
    const std::vector<std::string> lines = ReadLogLines();
    ASSERT_EQ(2u, lines.size());
    for (const std::string& strLine : lines)
    {
        SParsedLine line;
        EXPECT_TRUE(ParseLine(strLine, line)) << strLine;
    }
    EXPECT_NE(std::string::npos, lines[0].find(" - before the disk filled up"));
    EXPECT_NE(std::string::npos, lines[1].find(" - after room was made"));
}

// A setting of the system tag that holds line breaks would start lines of
// its own choosing; one of 1 MB would make every line that long.
TEST_F(ReportLogFile, SettingsCannotForgeLinesOrSwellThem)
{
    const SString strForged = "10.0\n5725: 2026-12-11 07:20:21 [10.0] [00308] - Launcher Main: Launch: 'C:\\x', "
                              "Qel: 'C:\\x\\qel'\n5722: 2026-12-11 07:20:21 [10.0] [00308] - Launcher Main: "
                              "Exception in DoWinMain\n";
    const std::wstring wstrMultiLine(L"10.0\0"
                                     L"5725: forged\0",
                                     19);                    // two terminators
    constexpr std::size_t LONG_VALUE_UNITS = 512 * 1024 - 1; // 1 MB in the registry
    struct SCase
    {
        const char* szSetting;
        SString strValue;
        SString strExpectedTag;
    };
    const std::vector<SCase> cases = {
        {"real-os-version", strForged, "[10.0(10.0 5725: 2026-12-11 07:20:21 [10.0] [00308] - Launcher Main: L)]"},
        {"qel-version-ext", "1.7.0-1\r\n5722: forged", "[1  5722: forged 10.0]"},
        {"os-version", "10.0\x0b\x1b[2J\x7f", "[10.0  [2J (10.0)]"},
        {"os-version",
         "10.0\xc2\x85"
         "5725\xe2\x80\xa8"
         "5722",
         "[10.0 5725 5722(10.0)]"},
        {"real-os-version", SString(std::string(LONG_VALUE_UNITS, 'x')),
         "[10.0(" + SString(std::string(REPORT_TAG_FIELD_MAX_BYTES, 'x')) + ")]"},
        {"real-os-version", "", "[10.0(10.0 5725: forged)]"}, // the REG_MULTI_SZ below
    };
    for (std::size_t uiRow = 0; uiRow < cases.size(); ++uiRow)
    {
        const SCase& c = cases[uiRow];
        SCOPED_TRACE(SString(c.szSetting) + " " + c.strExpectedTag);
        const SString strText("row %u", static_cast<unsigned>(uiRow)); // repeats would be folded
        SetSetting("qel-version-ext", "");
        SetSetting("os-version", "10.0");
        SetSetting("real-os-version", "10.0");
        SetSetting(c.szSetting, c.strValue);
        if (c.strValue.empty())
        {
            ASSERT_TRUE(TestSupport::SetRawProductSetting(KEY_WOW64_64KEY, L"real-os-version", REG_MULTI_SZ,
                                                          wstrMultiLine.c_str(),
                                                          static_cast<DWORD>(wstrMultiLine.size() * sizeof(wchar_t))));
        }
        RemoveProductFolder();
        WriteReportLog(TEST_ID, strText);
        // The tag may hold brackets of its own: it is looked for whole.
        const std::vector<std::string> lines = ReadLogLines();
        ASSERT_EQ(1u, lines.size());
        EXPECT_EQ(0u, lines[0].find("5730: "));
        EXPECT_NE(std::string::npos, lines[0].find(" " + c.strExpectedTag + " ["));
        EXPECT_TRUE(lines[0].ends_with("] - " + strText)) << lines[0];
    }
}

namespace
{
constexpr DWORD WRITERS_TIMEOUT_MS = 120000;

// One round of writer processes let go at once.
struct SWriterRound
{
    uint32_t uiWriters;
    uint32_t uiLines;
    uint32_t uiTextBytes;
};

// Starts the writers, waiting on one event, then sets it; the ids of the
// writers that ran to their end, in start order.
std::vector<DWORD> RunWritersTogether(const SWriterRound& round)
{
    const std::wstring wstrProgram = TestSupport::GetHelperPath(REPORT_LOG_WRITER_FILE_NAME);
    const std::wstring wstrEvent = L"Local\\ValdrenneReportLogWriters-" + std::to_wstring(GetCurrentProcessId());
    const CScopedKernelHandle hStart(CreateEventW(nullptr, TRUE, FALSE, wstrEvent.c_str()));
    if (!hStart.IsValid())
        return {};

    std::deque<TestSupport::CChildProcess> writers;
    for (uint32_t i = 0; i < round.uiWriters; ++i)
    {
        const std::wstring wstrArguments =
            wstrEvent + L" " + std::to_wstring(round.uiLines) + L" " + std::to_wstring(round.uiTextBytes);
        if (!writers.emplace_back().Start(wstrProgram, wstrArguments))
        {
            writers.pop_back();
            break;
        }
    }
    SetEvent(hStart.Get());

    // A writer still running at the time-out is ended with its object.
    std::vector<DWORD> finished;
    for (TestSupport::CChildProcess& writer : writers)
    {
        if (writer.WaitForExit(WRITERS_TIMEOUT_MS) == std::optional<DWORD>(WRITER_DONE))
            finished.push_back(writer.GetProcessId());
    }
    return finished;
}

// What a round left in the file, line by line.
struct SRoundCheck
{
    std::size_t uiLines = 0;
    std::size_t uiMalformed = 0;
    std::size_t uiRepeated = 0;
    std::size_t uiMissing = 0;
    std::string strFirstMalformed;
};
} // namespace

TEST_F(ReportLogFile, WritersInManyProcessesWriteEveryLineOnceAndWhole)
{
    // Short lines give many chances to meet; 10 KB lines take long to write.
    constexpr uint32_t WRITERS = 16;
    const SWriterRound rounds[] = {
        {WRITERS, 25, 80},   {WRITERS, 25, 80},   {WRITERS, 25, 80},
        {WRITERS, 3, 10240}, {WRITERS, 3, 10240}, {WRITERS, 3, 10240},
    };
    for (std::size_t uiRound = 0; uiRound < std::size(rounds); ++uiRound)
    {
        const SWriterRound& round = rounds[uiRound];
        SCOPED_TRACE(SString("round %u: %u writers, %u lines of %u bytes", static_cast<unsigned>(uiRound),
                             round.uiWriters, round.uiLines, round.uiTextBytes));
        RemoveProductFolder();
        const std::vector<DWORD> writers = RunWritersTogether(round);
        ASSERT_EQ(round.uiWriters, writers.size());

        std::map<std::pair<DWORD, uint32_t>, uint32_t> seen;
        SRoundCheck check;
        for (const std::string& strLine : ReadLogLines())
        {
            ++check.uiLines;
            SParsedLine line;
            unsigned long ulWriter = 0;
            unsigned int uiIndex = 0;
            const bool bWellFormed =
                ParseLine(strLine, line) && line.uiId == REPORT_LOG_WRITER_ID &&
                std::sscanf(line.strText.c_str(), "writer %lu line %u ", &ulWriter, &uiIndex) == 2 &&
                line.strProcessTag == SString("%05lu", ulWriter) &&
                line.strText == MakeWriterText(ulWriter, uiIndex, round.uiTextBytes);
            if (!bWellFormed)
            {
                if (check.uiMalformed++ == 0)
                    check.strFirstMalformed = strLine.substr(0, 200);
                continue;
            }
            if (++seen[{static_cast<DWORD>(ulWriter), uiIndex}] > 1)
                ++check.uiRepeated;
        }
        for (DWORD dwWriter : writers)
            for (uint32_t uiIndex = 0; uiIndex < round.uiLines; ++uiIndex)
                check.uiMissing += seen.count({dwWriter, uiIndex}) == 0 ? 1 : 0;

        EXPECT_EQ(0u, check.uiMalformed) << check.strFirstMalformed;
        EXPECT_EQ(0u, check.uiRepeated);
        EXPECT_EQ(0u, check.uiMissing);
        EXPECT_EQ(round.uiWriters * round.uiLines, check.uiLines);
    }
}

namespace
{
enum class ELinkKind
{
    JUNCTION,
    SYMBOLIC_LINK,
    HARD_LINK,
};

// A mount-point reparse point on an empty folder: what mklink /J makes.
bool MakeJunction(const std::wstring& wstrLink, const std::wstring& wstrTarget)
{
    if (!CreateDirectoryW(wstrLink.c_str(), nullptr))
        return false;
    CScopedKernelHandle hLink(CreateFileW(wstrLink.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    const std::wstring wstrSubstitute = L"\\??\\" + wstrTarget;
    const WORD wSubstituteBytes = static_cast<WORD>(wstrSubstitute.size() * sizeof(wchar_t));
    const WORD wPrintBytes = static_cast<WORD>(wstrTarget.size() * sizeof(wchar_t));
    // REPARSE_DATA_BUFFER: tag, data length, reserved; the mount point's name
    // offsets and lengths; its two names, each with a terminator.
    constexpr std::size_t HEADER_BYTES = 8;
    constexpr std::size_t NAMES_FIELD_BYTES = 8;
    constexpr WORD TERMINATOR_BYTES = sizeof(wchar_t);
    std::vector<BYTE> buffer(HEADER_BYTES + NAMES_FIELD_BYTES + wSubstituteBytes + wPrintBytes + 2 * TERMINATOR_BYTES);
    const DWORD dwTag = IO_REPARSE_TAG_MOUNT_POINT;
    const WORD wDataBytes = static_cast<WORD>(buffer.size() - HEADER_BYTES);
    const WORD names[] = {0, wSubstituteBytes, static_cast<WORD>(wSubstituteBytes + TERMINATOR_BYTES), wPrintBytes};
    std::memcpy(buffer.data(), &dwTag, sizeof(dwTag));
    std::memcpy(buffer.data() + sizeof(dwTag), &wDataBytes, sizeof(wDataBytes));
    std::memcpy(buffer.data() + HEADER_BYTES, names, sizeof(names));
    BYTE* pNames = buffer.data() + HEADER_BYTES + NAMES_FIELD_BYTES;
    std::memcpy(pNames, wstrSubstitute.c_str(), wSubstituteBytes);
    std::memcpy(pNames + wSubstituteBytes + TERMINATOR_BYTES, wstrTarget.c_str(), wPrintBytes);
    DWORD dwReturned = 0;
    if (hLink.IsValid() && DeviceIoControl(hLink.Get(), FSCTL_SET_REPARSE_POINT, buffer.data(),
                                           static_cast<DWORD>(buffer.size()), nullptr, 0, &dwReturned, nullptr))
        return true;
    hLink.Reset();
    RemoveDirectoryW(wstrLink.c_str());
    return false;
}

bool MakeLink(ELinkKind eKind, const std::wstring& wstrLink, const std::wstring& wstrTarget, bool bFolder,
              bool& bHostLink)
{
    bHostLink = false;
    switch (eKind)
    {
    case ELinkKind::JUNCTION:
        return MakeJunction(wstrLink, wstrTarget);
    case ELinkKind::SYMBOLIC_LINK:
        return TestSupport::MakeSymbolicLink(wstrLink, wstrTarget, bFolder, bHostLink);
    case ELinkKind::HARD_LINK:
        break;
    }
    return CreateHardLinkW(wstrLink.c_str(), wstrTarget.c_str(), nullptr);
}

const char* NameOf(ELinkKind eKind)
{
    switch (eKind)
    {
    case ELinkKind::JUNCTION:
        return "junction";
    case ELinkKind::SYMBOLIC_LINK:
        return "symbolic link";
    case ELinkKind::HARD_LINK:
        break;
    }
    return "hard link";
}

// Where Wine cannot make a link, a plain folder or file stands in for it and
// the handle query says of it what Windows says of a link.
struct SFileId
{
    DWORD dwVolume = 0;
    DWORD dwIndexHigh = 0;
    DWORD dwIndexLow = 0;
    bool operator==(const SFileId&) const = default;
};

std::optional<SFileId> QueryFileId(HANDLE hFile)
{
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!GetFileInformationByHandle(hFile, &info))
        return std::nullopt;
    return SFileId{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

std::optional<SFileId> g_StandInLink;

BOOL WINAPI ReportStandInAsLink(HANDLE hFile, FILE_INFO_BY_HANDLE_CLASS eClass, LPVOID pInformation, DWORD dwSize)
{
    const BOOL bResult = GetFileInformationByHandleEx(hFile, eClass, pInformation, dwSize);
    if (bResult && eClass == FileAttributeTagInfo && g_StandInLink && QueryFileId(hFile) == g_StandInLink)
    {
        auto* pTag = static_cast<FILE_ATTRIBUTE_TAG_INFO*>(pInformation);
        pTag->FileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
        pTag->ReparseTag = IO_REPARSE_TAG_SYMLINK;
    }
    return bResult;
}

// Through a link, a file's final path is where the link leads.
std::optional<SFileId> g_StandInLog;

DWORD WINAPI ReportStandInLogElsewhere(HANDLE hFile, LPWSTR szPath, DWORD uiCapacity, DWORD uiFlags)
{
    if (!g_StandInLog || QueryFileId(hFile) != g_StandInLog)
        return GetFinalPathNameByHandleW(hFile, szPath, uiCapacity, uiFlags);
    const std::wstring_view wsvElsewhere = L"\\\\?\\C:\\elsewhere\\report.log";
    if (uiCapacity <= wsvElsewhere.size())
        return static_cast<DWORD>(wsvElsewhere.size() + 1);
    wsvElsewhere.copy(szPath, wsvElsewhere.size());
    szPath[wsvElsewhere.size()] = L'\0';
    return static_cast<DWORD>(wsvElsewhere.size());
}

std::optional<SFileId> QueryFileIdOfPath(const std::wstring& wstrPath)
{
    const CScopedKernelHandle hFile(CreateFileW(wstrPath.c_str(), FILE_READ_ATTRIBUTES, 7, nullptr, OPEN_EXISTING,
                                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    return hFile.IsValid() ? QueryFileId(hFile.Get()) : std::nullopt;
}

constexpr const char* TARGET_FILE_BYTES = "the link's target";
} // namespace

TEST_F(ReportLogFile, NeverWritesThroughALinkInPlaceOfItsFoldersOrFile)
{
    struct SCase
    {
        const char* szWhere;
        ELinkKind eKind;
        bool bFolder;
        // A writable report.log where the version-folder link leads.
        bool bLogBehind;
    };
    const SCase cases[] = {
        {"Qel Vendaro All", ELinkKind::JUNCTION, true, false},
        {"Qel Vendaro All", ELinkKind::SYMBOLIC_LINK, true, false},
        {"Qel Vendaro All\\1.7", ELinkKind::JUNCTION, true, false},
        {"Qel Vendaro All\\1.7", ELinkKind::SYMBOLIC_LINK, true, false},
        {"Qel Vendaro All\\1.7", ELinkKind::JUNCTION, true, true},
        {"Qel Vendaro All\\1.7", ELinkKind::SYMBOLIC_LINK, true, true},
        {"Qel Vendaro All\\1.7\\report.log", ELinkKind::SYMBOLIC_LINK, false, false},
        // Any user may link to a file they cannot write.
        {"Qel Vendaro All\\1.7\\report.log", ELinkKind::HARD_LINK, false, false},
    };
    for (const SCase& testCase : cases)
    {
        // Each case's texts are its own, so that the repeat filter folds none.
        const SString strCase("%s at %s%s", NameOf(testCase.eKind), testCase.szWhere,
                              testCase.bLogBehind ? " to a log" : "");
        SCOPED_TRACE(strCase);
        RemoveProductFolder();
        const TestSupport::CTempFolder target;
        const std::wstring wstrLink = Utf8ToWide(CombinePath(GetAllUsersAppDataPath(), testCase.szWhere));
        ASSERT_TRUE(TestSupport::CreateFolders(ToFsPath(WideToUtf8(wstrLink)).parent_path().wstring()));
        const std::wstring wstrTarget = testCase.bFolder ? target.GetPath() : target.GetPath() + L"\\target.log";
        if (!testCase.bFolder)
        {
            ASSERT_TRUE(TestSupport::WriteBytesToFile(wstrTarget, TARGET_FILE_BYTES));
            ASSERT_TRUE(SetFileAttributesW(wstrTarget.c_str(), FILE_ATTRIBUTE_READONLY));
        }

        bool bHostLink = false;
        const bool bRealLink = MakeLink(testCase.eKind, wstrLink, wstrTarget, testCase.bFolder, bHostLink);
        ASSERT_TRUE(bRealLink || testCase.eKind != ELinkKind::HARD_LINK);
        // The stand-in is the target: it is what a write through the link would change.
        std::wstring wstrTouched = wstrTarget;
        std::optional<TestSupport::CScopedOverride<FileInformationFunction>> standIn;
        std::optional<TestSupport::CScopedOverride<FinalPathFunction>> standInFinalPath;
        if (!bRealLink)
        {
            wstrTouched = wstrLink;
            if (testCase.bFolder)
                ASSERT_TRUE(CreateDirectoryW(wstrLink.c_str(), nullptr));
            else
            {
                ASSERT_TRUE(TestSupport::WriteBytesToFile(wstrLink, TARGET_FILE_BYTES));
                ASSERT_TRUE(SetFileAttributesW(wstrLink.c_str(), FILE_ATTRIBUTE_READONLY));
            }
            g_StandInLink = QueryFileIdOfPath(wstrLink);
            ASSERT_TRUE(g_StandInLink.has_value());
            standIn.emplace(SetFileInformationFunction, &ReportStandInAsLink);
        }
        const std::wstring wstrLogBehind = wstrTouched + L"\\report.log";
        if (testCase.bLogBehind)
        {
            ASSERT_TRUE(TestSupport::WriteBytesToFile(wstrLogBehind, TARGET_FILE_BYTES));
            if (!bRealLink)
            {
                g_StandInLog = QueryFileIdOfPath(wstrLogBehind);
                standInFinalPath.emplace(SetFinalPathFunction, &ReportStandInLogElsewhere);
            }
        }
        RecordProperty(strCase, bHostLink   ? "real link made by the host"
                                : bRealLink ? "real link"
                                            : "stand-in through the handle-query seam");

        WriteReportLog(TEST_ID, "through a " + strCase);

        if (testCase.bLogBehind)
        {
            EXPECT_EQ(TARGET_FILE_BYTES, TestSupport::ReadBytesFromFile(wstrLogBehind));
            EXPECT_EQ(1, std::distance(std::filesystem::directory_iterator(wstrTouched),
                                       std::filesystem::directory_iterator()));
        }
        else if (testCase.bFolder)
        {
            EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::path(wstrTouched)));
        }
        else
        {
            EXPECT_EQ(TARGET_FILE_BYTES, TestSupport::ReadBytesFromFile(wstrTouched));
            EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_READONLY),
                      GetFileAttributesW(wstrTouched.c_str()) & FILE_ATTRIBUTE_READONLY);
        }

        // Only that line was lost.
        standIn.reset();
        standInFinalPath.reset();
        g_StandInLink.reset();
        g_StandInLog.reset();
        DeleteFileW(wstrLogBehind.c_str());
        SetFileAttributesW(wstrLink.c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_TRUE(TestSupport::RemoveSymbolicLink(wstrLink, testCase.bFolder, bHostLink));
        SetFileAttributesW(wstrTarget.c_str(), FILE_ATTRIBUTE_NORMAL);
        WriteReportLog(TEST_ID, "after the " + strCase);
        const std::vector<std::string> lines = ReadLogLines();
        ASSERT_EQ(1u, lines.size());
        EXPECT_NE(std::string::npos, lines[0].find(" - after the " + strCase));
    }
}
