// End to end: the real Valdrenne.exe started as a separate process in staged
// install folders, checked by its exit code, its report-log lines and what
// the sample loader received.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <functional>
#include <map>
#include <sstream>
#include <string>

#include "SharedUtil.Encoding.h"
#include "SharedUtil.Registry.h"
#include "SharedUtil.ReportLog.Win32.h"
#include "launch/fixtures/EnforcedGuard.h"
#include "support/AppendFaults.Win32.h"
#include "support/Desktop.Win32.h"
#include "support/FaultDelivery.h"
#include "support/ProductSettings.Win32.h"
#include "support/Win32TestSupport.Win32.h"

using namespace TestSupport;
using SharedUtil::Utf8ToWide;
using SharedUtil::WideToUtf8;

namespace
{
constexpr DWORD LAUNCH_TIMEOUT_MS = 60000;
constexpr DWORD MESSAGE_BOX_TIMEOUT_MS = 20000;
// How long nothing must happen for "nothing is opened" to count.
constexpr DWORD NOTHING_OPENED_MS = 3000;
constexpr DWORD SW_SHOWDEFAULT_CODE = SW_SHOWDEFAULT; // what a child started without show flags gets
const char* const QUESTION = "Do you want to see some on-line help about this problem ?";
const char* const QUESTION_CAPTION = "Qel: Vendaro    (CTRL+C to copy)";
constexpr int WINDOW_CLASS_UNITS = 256;
constexpr DWORD ACCESS_VIOLATION_EXIT_CODE = 0xC0000005; // how a process ends on an unhandled access violation

// The system's text for an error in the one-line form "Error %u: %s" of the
// failure message.
SString SystemErrorLine(DWORD dwError)
{
    SString strText = GetSystemErrorText(dwError);
    std::erase_if(strText, [](char c) { return c == '\r' || c == '\n'; });
    return "Error " + std::to_string(dwError) + ": " + strText;
}

// The launcher under test, below the build's bin folder: the one that ships,
// or the test build that enforces control-flow guard, which the test script
// names (tests/CMakeLists.txt).
const wchar_t* const SHIPPED_LAUNCHER = L"Valdrenne.exe";

std::wstring GetLauncherUnderTest()
{
    const char* szLauncher = std::getenv("VALDRENNE_TEST_LAUNCHER");
    return szLauncher ? Utf8ToWide(szLauncher) : SHIPPED_LAUNCHER;
}

// The classes of the visible top-level windows of a process.
struct SWindowSearch
{
    DWORD dwProcessId;
    std::vector<std::string>* pClasses;
};

BOOL CALLBACK RecordWindowOfProcess(HWND hWnd, LPARAM lParam)
{
    auto* pSearch = reinterpret_cast<SWindowSearch*>(lParam);
    DWORD dwOwner = 0;
    GetWindowThreadProcessId(hWnd, &dwOwner);
    if (dwOwner == pSearch->dwProcessId && IsWindowVisible(hWnd))
    {
        char szClass[WINDOW_CLASS_UNITS] = {};
        GetClassNameA(hWnd, szClass, WINDOW_CLASS_UNITS);
        pSearch->pClasses->push_back(szClass);
    }
    return TRUE;
}

struct SLogLine
{
    uint32_t uiId;
    SString strMessage;
    bool operator==(const SLogLine& other) const { return uiId == other.uiId && strMessage == other.strMessage; }
};

std::ostream& operator<<(std::ostream& out, const SLogLine& line)
{
    return out << line.uiId << ": " << line.strMessage;
}

struct SLaunch
{
    SChildResult child;
    std::map<std::string, std::string> loaderReport;
    bool bLoaderFreed = false;
    std::vector<SLogLine> logLines;
    std::vector<SMessageBox> boxes;
    std::vector<std::string> windowClasses; // every visible top-level window seen
};

class LaunchTest : public ::testing::Test
{
protected:
    std::wstring Temp(const std::wstring& wstrRelative) const { return m_temp.GetPath() + L"\\" + wstrRelative; }

    // Puts the launcher, alone, into a folder.
    std::wstring StageLauncher(const std::wstring& wstrFolder)
    {
        EXPECT_TRUE(CreateFolders(wstrFolder));
        EXPECT_TRUE(CopyFileTo(GetBinDirectory() + L"\\" + GetLauncherUnderTest(), wstrFolder + L"\\Valdrenne.exe"));
        return wstrFolder + L"\\Valdrenne.exe";
    }

    void StageLoader(const std::wstring& wstrQelFolder, const std::wstring& wstrBuiltFile = L"loader.dll")
    {
        ASSERT_TRUE(CreateFolders(wstrQelFolder));
        ASSERT_TRUE(CopyFileTo(GetBinDirectory() + L"\\" + wstrBuiltFile, wstrQelFolder + L"\\loader.dll"));
    }

    // Copies every file of a folder into another.
    static void StageFolder(const std::wstring& wstrFrom, const std::wstring& wstrTo)
    {
        ASSERT_TRUE(CreateFolders(wstrTo));
        for (const auto& entry : std::filesystem::directory_iterator(wstrFrom))
            ASSERT_TRUE(CopyFileTo(entry.path().wstring(), wstrTo + L"\\" + entry.path().filename().wstring()));
    }

    // Runs the launcher; every message box it shows is recorded and answered
    // with iAnswer.
    SLaunch Launch(const std::wstring& wstrLauncher, const std::wstring& wstrArguments = L"", int iAnswer = IDNO)
    {
        std::wstring wstrCommandLine = L"\"" + wstrLauncher + L"\"";
        if (!wstrArguments.empty())
            wstrCommandLine += L" " + wstrArguments;
        return LaunchCommandLine(wstrLauncher, wstrCommandLine,
                                 wstrLauncher.substr(0, wstrLauncher.find_last_of(L'\\')), iAnswer);
    }

    SLaunch LaunchCommandLine(const std::wstring& wstrLauncher, const std::wstring& wstrCommandLine,
                              const std::wstring& wstrWorkingFolder, int iAnswer = IDNO)
    {
        SLaunch launch;
        const std::size_t uiLogBytesBefore = GetReportLogSize();
        launch.child =
            RunChildCommandLine(wstrLauncher, wstrCommandLine, wstrWorkingFolder, LAUNCH_TIMEOUT_MS,
                                [&](DWORD dwProcessId)
                                {
                                    SWindowSearch search = {dwProcessId, &launch.windowClasses};
                                    EnumWindows(RecordWindowOfProcess, reinterpret_cast<LPARAM>(&search));
                                    SMessageBox box = WaitForMessageBox(dwProcessId, 0);
                                    if (!box.hWnd)
                                        return;
                                    launch.boxes.push_back(box);
                                    PressMessageBoxButton(box, iAnswer);
                                    // Wait for it to go before looking for the next one.
                                    for (DWORD dwWaited = 0; IsWindow(box.hWnd) && dwWaited < MESSAGE_BOX_TIMEOUT_MS;
                                         dwWaited += POLL_INTERVAL_MS)
                                        Sleep(POLL_INTERVAL_MS);
                                });
        EXPECT_TRUE(launch.child.bStarted);
        EXPECT_TRUE(launch.child.bFinished);

        std::istringstream report(ReadBytesFromFile(m_wstrReportFile));
        std::string strLine;
        while (std::getline(report, strLine))
        {
            std::size_t uiColon = strLine.find(": ");
            if (uiColon != std::string::npos)
                launch.loaderReport[strLine.substr(0, uiColon)] = strLine.substr(uiColon + 2);
        }
        launch.bLoaderFreed = launch.loaderReport.count("freed") && launch.loaderReport["freed"] == "yes";
        DeleteFileW(m_wstrReportFile.c_str());

        for (const SString& strLine : ReadReportLogLinesOf(launch.child.dwProcessId, uiLogBytesBefore))
        {
            SLogLine line = {};
            if (SplitReportLogLine(strLine, line.uiId, line.strMessage))
                launch.logLines.push_back(line);
        }
        return launch;
    }

    // The text in the system's narrow code page, as GetCommandLineA gives it.
    static std::string AnsiBytes(const std::wstring& wstrText)
    {
        if (wstrText.empty())
            return std::string();
        int iLength = static_cast<int>(wstrText.size());
        int iBytes = WideCharToMultiByte(CP_ACP, 0, wstrText.data(), iLength, nullptr, 0, nullptr, nullptr);
        std::string strBytes(static_cast<std::size_t>(iBytes), '\0');
        WideCharToMultiByte(CP_ACP, 0, wstrText.data(), iLength, strBytes.data(), iBytes, nullptr, nullptr);
        return strBytes;
    }

    static SLogLine LaunchLine(const std::wstring& wstrLaunchPath, const std::wstring& wstrQel)
    {
        return {5725,
                "Launcher Main: Launch: '" + WideToUtf8(wstrLaunchPath) + "', Qel: '" + WideToUtf8(wstrQel) + "'"};
    }

    // A way for DoWinMain not to return normally, and how the launch ends.
    struct SEscape
    {
        bool bSharedLibgcc; // the loader built against GCC's runtime DLLs, which lie beside it
        const wchar_t* wszFailure;
        DWORD dwExitCode;
        bool bExceptionLine;
        bool bFreed;
    };

    void ExpectEscapeEndsTheLaunch(const SEscape& c)
    {
        const SLogLine EXCEPTION_LINE = {5722, "Launcher Main: Exception in DoWinMain"};
        SCOPED_TRACE(WideToUtf8(std::wstring(c.wszFailure) + (c.bSharedLibgcc ? L", shared libgcc" : L", static")));
        std::wstring wstrApp = Temp(L"Escape" + std::to_wstring(++m_iEscapes) + L"\\App");
        std::wstring wstrLauncher = StageLauncher(wstrApp);
        if (c.bSharedLibgcc)
            StageFolder(GetBinDirectory() + L"\\fixtures\\shared-libgcc", wstrApp + L"\\qel");
        else
            StageLoader(wstrApp + L"\\qel");
        const CScopedEnvironment failure(L"QEL_SAMPLE_FAIL", c.wszFailure);

        SLaunch launch = Launch(wstrLauncher);

        EXPECT_EQ(c.dwExitCode, launch.child.dwExitCode);
        EXPECT_EQ(WideToUtf8(c.wszFailure), launch.loaderReport["result"]);
        std::vector<SLogLine> expected = {LaunchLine(wstrApp, wstrApp + L"\\qel")};
        if (c.bExceptionLine)
            expected.push_back(EXCEPTION_LINE);
        EXPECT_EQ(expected, launch.logLines);
        EXPECT_EQ(c.bFreed, launch.bLoaderFreed);
        EXPECT_EQ(std::vector<std::string>(), launch.windowClasses);
    }

    CTempFolder m_temp;
    std::wstring m_wstrReportFile = m_temp.GetPath() + L"\\loader-report.txt";
    // What the sample loader reports to, and no leftover request to fail or
    // to exit with a code of its choice.
    CScopedEnvironment m_ReportVariable{L"QEL_SAMPLE_REPORT", m_wstrReportFile};
    CScopedEnvironment m_ExitCodeVariable{L"QEL_SAMPLE_EXIT_CODE", std::nullopt};
    CScopedEnvironment m_FailVariable{L"QEL_SAMPLE_FAIL", std::nullopt};
    int m_iEscapes = 0;
};

TEST_F(LaunchTest, QelBesideTheLauncherRunsTheLoaderWithTheCommandLine)
{
    std::wstring wstrLauncher = StageLauncher(Temp(L"App"));
    StageLoader(Temp(L"App\\qel"));

    SLaunch launch = Launch(wstrLauncher, L"-c hello world");

    EXPECT_EQ(0u, launch.child.dwExitCode);
    EXPECT_EQ("-c hello world", launch.loaderReport["command-line"]);
    EXPECT_EQ(std::to_string(SW_SHOWDEFAULT_CODE), launch.loaderReport["show-command"]);
    EXPECT_EQ("1.7.0-1.00000.0", launch.loaderReport["launcher-version"]);
    EXPECT_EQ("yes", launch.loaderReport["instance-is-launcher"]);
    EXPECT_EQ("yes", launch.loaderReport["previous-instance-null"]);
    // SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX, as the client inherits it.
    EXPECT_EQ("0x8003", launch.loaderReport["error-mode"]);
    // _OUT_TO_STDERR: abort() in msvcrt shows no message box.
    EXPECT_EQ(std::to_string(_OUT_TO_STDERR), launch.loaderReport["runtime-error-mode"]);
#if defined(__i386__)
    // The entry guard's frame, and every other handler the launcher has
    // registered while DoWinMain runs, is in its SafeSEH table; Windows
    // would refuse to call one that is not (Wine does not check).
#if defined(__clang__)
    EXPECT_EQ("1 listed 1", launch.loaderReport["launcher-frame-handlers"]);
#else
    // GNU ld writes no SafeSEH table (the GCC builds do not ship).
    EXPECT_EQ("1 listed 0", launch.loaderReport["launcher-frame-handlers"]);
#endif
#endif
    EXPECT_TRUE(launch.bLoaderFreed);
    EXPECT_EQ(std::vector<SLogLine>({LaunchLine(Temp(L"App"), Temp(L"App\\qel"))}), launch.logLines);
    EXPECT_TRUE(launch.boxes.empty());
}

// The guard the launcher's stack protector checks its frames against, which
// the system loader seeds through the load configuration: the file holds
// the platform's default, a running launcher never does, and each start has
// its own.
TEST_F(LaunchTest, TheStackGuardIsSeededAnewAtEveryStart)
{
    std::wstring wstrLauncher = StageLauncher(Temp(L"App"));
    StageLoader(Temp(L"App\\qel"));

    const std::string strFirst = Launch(wstrLauncher).loaderReport["launcher-stack-guard"];
    const std::string strSecond = Launch(wstrLauncher).loaderReport["launcher-stack-guard"];

#if defined(__clang__)
    const std::string strDefault = sizeof(void*) == 8 ? "0x2B992DDFA232" : "0xBB40E64E";
    EXPECT_EQ(0u, strFirst.rfind("0x", 0)) << strFirst;
    EXPECT_NE(strDefault, strFirst);
    EXPECT_NE(strDefault, strSecond);
    EXPECT_NE(strFirst, strSecond);
#else
    // GNU ld's launcher has no load configuration; libssp seeds its guard.
    EXPECT_EQ("none", strFirst);
#endif
}

TEST_F(LaunchTest, QelOneLevelUpKeepsTheParentStepInTheInstallDirectory)
{
    std::wstring wstrLauncher = StageLauncher(Temp(L"Games\\App"));
    StageLoader(Temp(L"Games\\qel"));

    SLaunch launch = Launch(wstrLauncher);

    EXPECT_EQ(0u, launch.child.dwExitCode);
    EXPECT_EQ("", launch.loaderReport["command-line"]);
    EXPECT_EQ(std::vector<SLogLine>({LaunchLine(Temp(L"Games\\App"), Temp(L"Games\\App\\..\\qel"))}), launch.logLines);
}

TEST_F(LaunchTest, DiscoveryFailuresExitWithOneAndNameTheLaunchPath)
{
    struct SCase
    {
        const char* szName;
        std::wstring wstrAppFolder;
        std::wstring wstrQelFile; // a file named qel, where not empty
        SLogLine expected;
    };
    const SCase cases[] = {
        {"no qel anywhere", L"None\\App", L"", {5730, ""}},
        {"qel is a file", L"File\\App", L"File\\App\\qel", {5730, ""}},
        // Two dots inside a real folder name still make the path invalid.
        {"launch path holds ..", L"A..B\\App", L"", {5731, ""}},
    };
    for (const SCase& c : cases)
    {
        SCOPED_TRACE(c.szName);
        std::wstring wstrLauncher = StageLauncher(Temp(c.wstrAppFolder));
        if (!c.wstrQelFile.empty())
        {
            ASSERT_TRUE(WriteBytesToFile(Temp(c.wstrQelFile), "not a folder"));
        }
        SLogLine expected = c.expected;
        expected.strMessage = (expected.uiId == 5730 ? "Launcher Main: Qel directory not found from: '"
                                                     : "Launcher Main: Invalid launch path: '") +
                              WideToUtf8(Temp(c.wstrAppFolder)) + "'";

        SLaunch launch = Launch(wstrLauncher);

        EXPECT_EQ(1u, launch.child.dwExitCode);
        EXPECT_EQ(std::vector<SLogLine>({expected}), launch.logLines);
        EXPECT_TRUE(launch.loaderReport.empty());
    }
}

TEST_F(LaunchTest, LoaderImportingAModuleBesideItLoadsAtTheFirstAttempt)
{
    std::wstring wstrLauncher = StageLauncher(Temp(L"App"));
    StageLoader(Temp(L"App\\qel"), L"fixtures\\dependent_loader.dll");
    ASSERT_TRUE(CopyFileTo(GetBinDirectory() + L"\\fixtures\\qeldep.dll", Temp(L"App\\qel\\qeldep.dll")));

    SLaunch launch = Launch(wstrLauncher, L"dep");

    EXPECT_EQ(0u, launch.child.dwExitCode);
    EXPECT_EQ("dep", launch.loaderReport["command-line"]);
    // Loaded without a search directory, and none is left for the client.
    EXPECT_EQ("", launch.loaderReport["dll-directory-at-load"]);
    EXPECT_EQ("", launch.loaderReport["dll-directory"]);
    EXPECT_EQ(std::vector<SLogLine>({LaunchLine(Temp(L"App"), Temp(L"App\\qel"))}), launch.logLines);
}

TEST_F(LaunchTest, LoaderLoadingAModuleByNameAsItStartsLoadsAtTheSecondAttempt)
{
    std::wstring wstrLauncher = StageLauncher(Temp(L"App"));
    StageLoader(Temp(L"App\\qel"), L"fixtures\\late_dependent_loader.dll");
    ASSERT_TRUE(CopyFileTo(GetBinDirectory() + L"\\fixtures\\qeldep.dll", Temp(L"App\\qel\\qeldep.dll")));

    SLaunch launch = Launch(wstrLauncher);

    EXPECT_EQ(0u, launch.child.dwExitCode);
    EXPECT_EQ(std::vector<SLogLine>({LaunchLine(Temp(L"App"), Temp(L"App\\qel"))}), launch.logLines);
}

TEST_F(LaunchTest, LoaderThatCannotBeLoadedIsReportedWithTheSystemErrorAndOffersHelp)
{
    std::wstring wstrSystem(MAX_PATH, L'\0');
    wstrSystem.resize(GetSystemDirectoryW(wstrSystem.data(), MAX_PATH));
    std::wstring wstrOtherArchitecture(MAX_PATH, L'\0');
#ifdef _WIN64
    // A 64-bit process sees the 32-bit system modules here.
    wstrOtherArchitecture.resize(GetSystemWow64DirectoryW(wstrOtherArchitecture.data(), MAX_PATH));
#else
    // A 32-bit process reaches the 64-bit system modules through this alias.
    wstrOtherArchitecture = wstrSystem.substr(0, wstrSystem.find_last_of(L'\\')) + L"\\Sysnative";
#endif

    struct SCase
    {
        const char* szName;
        std::wstring wstrFolder;
        std::function<void(const std::wstring& wstrQel)> stage;
        uint32_t uiError;
    };
    const SCase cases[] = {
        {"no loader.dll", L"Missing", [](const std::wstring& wstrQel) { CreateFolders(wstrQel); }, ERROR_MOD_NOT_FOUND},
        {"text file named loader.dll", L"Text",
         [](const std::wstring& wstrQel)
         {
             CreateFolders(wstrQel);
             WriteBytesToFile(wstrQel + L"\\loader.dll", "this is not a module\r\n");
         },
         ERROR_BAD_EXE_FORMAT},
        {"loader of the other architecture", L"Other",
         [&](const std::wstring& wstrQel)
         {
             CreateFolders(wstrQel);
             CopyFileTo(wstrOtherArchitecture + L"\\version.dll", wstrQel + L"\\loader.dll");
         },
         ERROR_BAD_EXE_FORMAT},
    };
    for (const SCase& c : cases)
    {
        SCOPED_TRACE(c.szName);
        std::wstring wstrApp = Temp(c.wstrFolder + L"\\App");
        std::wstring wstrLauncher = StageLauncher(wstrApp);
        c.stage(wstrApp + L"\\qel");
        SString strLoaderPath = WideToUtf8(wstrApp + L"\\qel\\loader.dll");
        SString strFailure = "Launcher Main: Failed to load: '" + strLoaderPath + "'\n\n" + SystemErrorLine(c.uiError);

        SLaunch launch = Launch(wstrLauncher);

        EXPECT_EQ(2u, launch.child.dwExitCode);
        EXPECT_EQ(std::vector<SLogLine>({LaunchLine(wstrApp, wstrApp + L"\\qel"),
                                         {5711, strFailure},
                                         {3200, "Trouble loader-dll-not-loadable"}}),
                  launch.logLines);
        ASSERT_EQ(1u, launch.boxes.size());
        EXPECT_EQ(QUESTION_CAPTION, launch.boxes[0].strCaption);
        EXPECT_EQ(strFailure + "\n\n\n" + QUESTION, launch.boxes[0].strText);
        EXPECT_TRUE(launch.boxes[0].bHasYes && launch.boxes[0].bHasNo);
        EXPECT_EQ("", SharedUtil::GetSetting("pending-browse-to-solution"));
    }
}

// Anyone who may read the log may lock it whole: the launch loses its lines
// but not its start. The figures go to the test's output; the wait itself
// is bounded where it is counted (the report-log test).
TEST_F(LaunchTest, ALockOnTheWholeLogCostsTheLaunchItsLinesNotItsStart)
{
    struct SCase
    {
        const char* szName;
        const wchar_t* wszFolder;
        bool bLoader;
        std::size_t uiLines;
    };
    const SCase cases[] = {
        {"the client runs", L"Runs", true, 1},
        {"no loader.dll", L"NoLoader", false, 3},
    };
    for (const SCase& c : cases)
    {
        SCOPED_TRACE(c.szName);
        const std::wstring wstrApp = Temp(std::wstring(L"Locked") + c.wszFolder + L"\\App");
        const std::wstring wstrLauncher = StageLauncher(wstrApp);
        if (c.bLoader)
            StageLoader(wstrApp + L"\\qel");
        else
            ASSERT_TRUE(CreateFolders(wstrApp + L"\\qel"));

        // Unlocked first, which also makes the log there to be locked.
        const ULONGLONG ullUnlockedStart = GetTickCount64();
        const SLaunch unlocked = Launch(wstrLauncher);
        const ULONGLONG ullUnlockedMs = GetTickCount64() - ullUnlockedStart;
        EXPECT_EQ(c.uiLines, unlocked.logLines.size());

        // Shared, so that the test can still read the log.
        TestSupport::CFileLockHolder holder(Utf8ToWide(SharedUtil::GetVersionDataFolder() + "\\report.log"),
                                            TestSupport::ELockedRange::WHOLE_FILE, TestSupport::ELockMode::SHARED);
        ASSERT_TRUE(holder.IsHeld());
        const ULONGLONG ullLockedStart = GetTickCount64();
        const SLaunch locked = Launch(wstrLauncher);
        const ULONGLONG ullLockedMs = GetTickCount64() - ullLockedStart;
        holder.Release();

        std::cout << c.szName << ": unlocked " << ullUnlockedMs << " ms, under a whole-file lock " << ullLockedMs
                  << " ms (a launch waits at most " << SharedUtil::REPORT_LOCK_BUDGET_MS << " ms for it)\n";
        EXPECT_TRUE(locked.child.bFinished);
        EXPECT_EQ(unlocked.child.dwExitCode, locked.child.dwExitCode);
        EXPECT_EQ(std::vector<SLogLine>(), locked.logLines);
        EXPECT_EQ(unlocked.boxes.size(), locked.boxes.size());
        EXPECT_EQ(c.bLoader, locked.bLoaderFreed);
    }
}

// A help URL that the flow refuses ends the launch as the load failure does,
// with 2, after a line that says why; no notice, no browser, no program.
TEST_F(LaunchTest, RefusedHelpUrlEndsTheLaunchWithTwo)
{
    const TestSupport::CProductSettingsGuard settings({"trouble-url", "serial"});
    const TestSupport::CUrlRecorderAsBrowser browser;
    const std::wstring wstrApp = Temp(L"Refused\\App");
    const std::wstring wstrLauncher = StageLauncher(wstrApp);
    ASSERT_TRUE(CreateFolders(wstrApp + L"\\qel"));
    for (const TestSupport::SRefusedHelpUrl& c : TestSupport::MakeRefusedHelpUrls())
    {
        SCOPED_TRACE(c.szCase);
        SharedUtil::SetSetting("trouble-url", c.strUrl);
        SharedUtil::SetSetting("serial", c.strSerial);

        SLaunch launch = Launch(wstrLauncher, L"", IDYES);

        EXPECT_EQ(2u, launch.child.dwExitCode);
        ASSERT_EQ(4u, launch.logLines.size());
        EXPECT_EQ((SLogLine{3200, "Trouble loader-dll-not-loadable"}), launch.logLines[2]);
        EXPECT_EQ((SLogLine{3201, c.strLine}), launch.logLines[3]);
        ASSERT_EQ(1u, launch.boxes.size());
        EXPECT_EQ(QUESTION_CAPTION, launch.boxes[0].strCaption);
        EXPECT_FALSE(browser.WaitForRecord(NOTHING_OPENED_MS).has_value());
    }
}

TEST_F(LaunchTest, EntryThatCannotBeCalledExitsWithThree)
{
    struct SCase
    {
        const char* szName;
        std::function<void(const std::wstring& wstrQel)> stage;
        SLogLine expected;
    };
    std::wstring wstrSystem(MAX_PATH, L'\0');
    wstrSystem.resize(GetSystemDirectoryW(wstrSystem.data(), MAX_PATH));
    const SCase cases[] = {
        {"system module without DoWinMain",
         [&](const std::wstring& wstrQel)
         {
             CreateFolders(wstrQel);
             CopyFileTo(wstrSystem + L"\\version.dll", wstrQel + L"\\loader.dll");
         },
         {5713, "Launcher Main: DoWinMain function not found"}},
        // The export is forwarded, so its address lies in another module.
        {"entry outside the module",
         [&](const std::wstring& wstrQel) { StageLoader(wstrQel, L"fixtures\\forwarded_entry.dll"); },
         {5713, "Launcher Main: Function pointer outside module bounds"}},
    };
    int iCase = 0;
    for (const SCase& c : cases)
    {
        SCOPED_TRACE(c.szName);
        std::wstring wstrApp = Temp(L"Handoff" + std::to_wstring(++iCase) + L"\\App");
        std::wstring wstrLauncher = StageLauncher(wstrApp);
        c.stage(wstrApp + L"\\qel");

        SLaunch launch = Launch(wstrLauncher);

        EXPECT_EQ(3u, launch.child.dwExitCode);
        EXPECT_EQ(std::vector<SLogLine>({LaunchLine(wstrApp, wstrApp + L"\\qel"), c.expected}), launch.logLines);
        EXPECT_EQ(std::vector<std::string>(), launch.windowClasses);
    }
}

// However the loader was built and however DoWinMain fails to return, the
// launch ends with 5722 and exit code 3, silently; a processor fault is not
// caught and ends the process as the system ends it.
TEST_F(LaunchTest, ExceptionsEscapingDoWinMainEndTheLaunchWithThree)
{
#ifdef _WIN64
    // GCC exceptions travel through the system's dispatch to the launcher's
    // own catch, which unwinds the loader's frames, so it can be freed.
    constexpr bool THROW_FREES_LOADER = true;
#else
    // The loader's unwinder cannot reach the launcher's frames and aborts.
    constexpr bool THROW_FREES_LOADER = false;
#endif
    const SEscape cases[] = {
        {false, L"throw", 3, true, THROW_FREES_LOADER},
        {true, L"throw", 3, true, THROW_FREES_LOADER},
        {false, L"msvc-throw", 3, true, false},
        {true, L"msvc-throw", 3, true, false},
        {false, L"abort", 3, true, false},
        {true, L"abort", 3, true, false},
        // Left alone: the loader handles it itself.
        {false, L"throw-caught", 0, false, true},
    };
    for (const SEscape& c : cases)
        ExpectEscapeEndsTheLaunch(c);
}

// DoWinMain has returned when the loader's clean-up aborts: the launch still
// ends with 3, but nothing escaped DoWinMain, so no line says so.
TEST_F(LaunchTest, AbortAfterDoWinMainReturnedEndsTheLaunchWithThreeAndNoLine)
{
    ExpectEscapeEndsTheLaunch({false, L"abort-when-freed", 3, false, true});
}

TEST_F(LaunchTest, ProcessorFaultInDoWinMainEndsTheProcessAsTheSystemEndsIt)
{
    SKIP_WHERE_FAULTS_ARE_EMULATED();
    ExpectEscapeEndsTheLaunch({false, L"fault", ACCESS_VIOLATION_EXIT_CODE, false, false});
}

#ifdef __clang__
// The clang builds' loaders carry control-flow guard's tables, as a client
// built by Microsoft's tools does. The entry point of one whose table lists
// it is called; one whose table omits it is refused by Windows, which ends
// the process at the call. So is it by the launcher's test build; Wine,
// which checks nothing, calls it.
TEST_F(LaunchTest, EntryOfAGuardedLoaderIsCalledOnlyWhenItsGuardTableListsIt)
{
    const bool bGuardEnforced = GetLauncherUnderTest() != SHIPPED_LAUNCHER;
    constexpr DWORD SAMPLE_EXIT_CODE = 41;
    struct SCase
    {
        const wchar_t* wszLoader;
        bool bListed;
    };
    const SCase cases[] = {{L"fixtures\\guarded_loader.dll", true}, {L"fixtures\\unlisted_entry.dll", false}};
    const CScopedEnvironment exitCode(L"QEL_SAMPLE_EXIT_CODE", std::to_wstring(SAMPLE_EXIT_CODE));
    int iCase = 0;
    for (const SCase& c : cases)
    {
        SCOPED_TRACE(WideToUtf8(c.wszLoader));
        std::wstring wstrApp = Temp(L"Guarded" + std::to_wstring(++iCase) + L"\\App");
        std::wstring wstrLauncher = StageLauncher(wstrApp);
        StageLoader(wstrApp + L"\\qel", c.wszLoader);

        CChildProcess child;
        ASSERT_TRUE(child.Start(wstrLauncher, L"", true));
        std::optional<DWORD> dwExitCode = child.WaitForExit(LAUNCH_TIMEOUT_MS);
        std::string strOutput = child.ReadOutput();

        // Wine checks no call: there an omitted entry is called too, where
        // Windows ends the process (fast fail, 0xC0000409).
        const bool bRefused = !c.bListed && bGuardEnforced;
        EXPECT_EQ(bRefused ? GUARD_FAILURE_EXIT_CODE : SAMPLE_EXIT_CODE, dwExitCode);
        EXPECT_EQ(!bRefused, std::filesystem::exists(m_wstrReportFile)) << "whether the loader ran";
        DeleteFileW(m_wstrReportFile.c_str());
        if (!bRefused)
        {
            EXPECT_EQ("", strOutput);
            continue;
        }
        // One line: the entry point's address and the loader's path.
        EXPECT_TRUE(strOutput.starts_with(std::string(GUARD_FAILURE_LINE) + "0x")) << strOutput;
        EXPECT_TRUE(strOutput.ends_with(" in " + WideToUtf8(wstrApp + L"\\qel\\loader.dll") + "\n")) << strOutput;
        EXPECT_EQ(1, std::count(strOutput.begin(), strOutput.end(), '\n')) << strOutput;
    }
}
#endif

TEST_F(LaunchTest, DoWinMainResultBecomesTheExitCode)
{
    std::wstring wstrLauncher = StageLauncher(Temp(L"App"));
    StageLoader(Temp(L"App\\qel"));
    // 2 and 3 cannot be told apart from the launcher's own failures.
    for (DWORD dwResult : {0u, 2u, 3u, 42u})
    {
        SCOPED_TRACE(dwResult);
        const CScopedEnvironment exitCode(L"QEL_SAMPLE_EXIT_CODE", std::to_wstring(dwResult));
        SLaunch launch = Launch(wstrLauncher);
        EXPECT_EQ(dwResult, launch.child.dwExitCode);
        EXPECT_EQ(std::to_string(dwResult), launch.loaderReport["result"]);
        EXPECT_TRUE(launch.bLoaderFreed);
    }
}

TEST_F(LaunchTest, CommandLineArrivesCutTo8191Bytes)
{
    std::wstring wstrLauncher = StageLauncher(Temp(L"App"));
    StageLoader(Temp(L"App\\qel"));
    struct SCase
    {
        std::size_t uiSent;
        std::size_t uiReceived;
    };
    const SCase cases[] = {{0, 0}, {8191, 8191}, {8192, 8191}, {20000, 8191}};
    for (const SCase& c : cases)
    {
        SCOPED_TRACE(c.uiSent);
        std::string strArguments;
        for (std::size_t i = 0; i < c.uiSent; ++i)
            strArguments += static_cast<char>('a' + i % 26);

        SLaunch launch = Launch(wstrLauncher, std::wstring(strArguments.begin(), strArguments.end()));

        EXPECT_EQ(0u, launch.child.dwExitCode);
        EXPECT_EQ(std::to_string(c.uiReceived), launch.loaderReport["command-line-bytes"]);
        EXPECT_EQ(strArguments.substr(0, c.uiReceived), launch.loaderReport["command-line"]);
    }
}

// The loader receives the process's own command line after the program name,
// byte for byte in the system's code page.
TEST_F(LaunchTest, CommandLineArrivesAfterTheProgramNameWithEveryByte)
{
    std::wstring wstrLauncher = StageLauncher(Temp(L"Pr\u00e9\\App"));
    StageLoader(Temp(L"Pr\u00e9\\qel"));
    const std::wstring wstrQuoted = L"\"" + wstrLauncher + L"\"";
    ASSERT_EQ(std::wstring::npos, wstrLauncher.find(L' ')); // so it can also be given unquoted
    struct SCase
    {
        std::wstring wstrCommandLine;
        std::wstring wstrReceived;
    };
    const SCase cases[] = {
        {wstrQuoted + L" \u00e9", L"\u00e9"},
        {wstrQuoted + L" \u00e9a", L"\u00e9a"},
        {wstrQuoted + L" a \u00e9 b", L"a \u00e9 b"},
        {wstrQuoted + L" \"quoted \u00e9\" x", L"\"quoted \u00e9\" x"},
        {wstrQuoted + L"\t \tx\ty ", L"x\ty "},
        {wstrQuoted + L"x", L"x"}, // the name ends at its closing quote
        {wstrQuoted, L""},
        {wstrQuoted + L"   ", L""},
        // Started from a Command Prompt by an unquoted path.
        {wstrLauncher + L" -c \u00e9", L"-c \u00e9"},
        {wstrLauncher, L""},
    };
    for (const SCase& c : cases)
    {
        SCOPED_TRACE(WideToUtf8(c.wstrCommandLine));
        SLaunch launch = LaunchCommandLine(wstrLauncher, c.wstrCommandLine, m_temp.GetPath());

        EXPECT_EQ(0u, launch.child.dwExitCode);
        std::string strExpected = AnsiBytes(c.wstrReceived);
        EXPECT_EQ(strExpected, launch.loaderReport["command-line"]);
        EXPECT_EQ(std::to_string(strExpected.size()), launch.loaderReport["command-line-bytes"]);
    }
}

// A qeldep.dll and a loader.dll planted in the current folder and in a PATH
// folder: the loader takes the genuine qeldep.dll from qel, and where qel has
// none (or no loader.dll) the launch fails rather than take a planted one.
TEST_F(LaunchTest, ModulesPlantedInTheCurrentFolderOrOnThePathNeverRun)
{
    const std::wstring wstrPlanted = GetBinDirectory() + L"\\fixtures\\planted\\qeldep.dll";
    const std::wstring wstrMarker = Temp(L"planted-module-ran");
    for (const wchar_t* wszFolder : {L"Current", L"OnPath"})
    {
        ASSERT_TRUE(CreateFolders(Temp(wszFolder)));
        for (const wchar_t* wszName : {L"\\qeldep.dll", L"\\loader.dll"})
            ASSERT_TRUE(CopyFileTo(wstrPlanted, Temp(wszFolder) + wszName));
    }
    std::wstring wstrPath(GetEnvironmentVariableW(L"PATH", nullptr, 0), L'\0');
    wstrPath.resize(GetEnvironmentVariableW(L"PATH", wstrPath.data(), static_cast<DWORD>(wstrPath.size())));
    CScopedEnvironment path(L"PATH", Temp(L"OnPath") + L";" + wstrPath);
    CScopedEnvironment marker(L"QEL_PLANTED_MARKER", wstrMarker);

    struct SCase
    {
        const char* szName;
        bool bLoaderInQel;
        bool bDependencyInQel;
        DWORD dwExitCode;
    };
    const SCase cases[] = {
        {"genuine qeldep.dll in qel", true, true, 0},
        {"no qeldep.dll in qel", true, false, 2},
        {"no loader.dll in qel", false, false, 2},
    };
    int iCase = 0;
    for (const SCase& c : cases)
    {
        SCOPED_TRACE(c.szName);
        std::wstring wstrApp = Temp(L"Planted" + std::to_wstring(++iCase) + L"\\App");
        std::wstring wstrLauncher = StageLauncher(wstrApp);
        ASSERT_TRUE(CreateFolders(wstrApp + L"\\qel"));
        if (c.bLoaderInQel)
            StageLoader(wstrApp + L"\\qel", L"fixtures\\dependent_loader.dll");
        if (c.bDependencyInQel)
        {
            ASSERT_TRUE(CopyFileTo(GetBinDirectory() + L"\\fixtures\\qeldep.dll", wstrApp + L"\\qel\\qeldep.dll"));
        }

        SLaunch launch = LaunchCommandLine(wstrLauncher, L"\"" + wstrLauncher + L"\"", Temp(L"Current"));

        EXPECT_EQ(c.dwExitCode, launch.child.dwExitCode);
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(wstrMarker.c_str()));
        if (c.dwExitCode == 0)
        {
            EXPECT_EQ("0", launch.loaderReport["result"]);
        }
        else
        {
            ASSERT_LE(2u, launch.logLines.size());
            EXPECT_EQ((SLogLine{5711, "Launcher Main: Failed to load: '" + WideToUtf8(wstrApp) +
                                          "\\qel\\loader.dll'\n\n" + SystemErrorLine(ERROR_MOD_NOT_FOUND)}),
                      launch.logLines[1]);
        }
        DeleteFileW(wstrMarker.c_str());
    }
}

TEST_F(LaunchTest, NonAsciiAndLongFolderNamesOnTheWay)
{
    // Wine starts no program from a path of MAX_PATH or more, so the launcher
    // sits just below that limit and the paths built from its folder (the
    // install directory one level up and the loader path) pass it.
    constexpr std::size_t LONGEST_PROGRAM_PATH = MAX_PATH - 1;
    const std::wstring wstrProgramName = L"\\Valdrenne.exe";
    std::wstring wstrLong = Temp(L"Long\\");
    while (wstrLong.size() + wstrProgramName.size() < LONGEST_PROGRAM_PATH)
        wstrLong += (wstrLong.size() % 40 == 0) ? L'\\' : L'x';
    if (wstrLong.back() == L'\\')
        wstrLong.back() = L'y';

    struct SCase
    {
        std::wstring wstrApp;
        std::wstring wstrQelOnDisk;
        std::wstring wstrQelFound;
    };
    const std::wstring wstrSpiele = Temp(L"Spiele\\J\u00fcrgen\\App");
    const SCase cases[] = {
        {wstrSpiele, wstrSpiele + L"\\qel", wstrSpiele + L"\\qel"},
        {wstrLong, wstrLong.substr(0, wstrLong.find_last_of(L'\\')) + L"\\qel", wstrLong + L"\\..\\qel"},
    };
    for (const SCase& c : cases)
    {
        SCOPED_TRACE(WideToUtf8(c.wstrApp));
        std::wstring wstrLauncher = StageLauncher(c.wstrApp);
        StageLoader(c.wstrQelOnDisk);

        SLaunch launch = Launch(wstrLauncher, L"x");

        EXPECT_EQ(0u, launch.child.dwExitCode);
        EXPECT_EQ("x", launch.loaderReport["command-line"]);
        EXPECT_EQ(std::vector<SLogLine>({LaunchLine(c.wstrApp, c.wstrQelFound)}), launch.logLines);
    }
    EXPECT_GT(wstrLong.size() + std::wstring(L"\\..\\qel\\loader.dll").size(), static_cast<std::size_t>(MAX_PATH));
}

// The user starts the launcher from Games\App; there is no Games\App\qel but
// a Games\qel without loader.dll.
TEST_F(LaunchTest, RoadOfAFailingLaunch)
{
    std::wstring wstrLauncher = StageLauncher(Temp(L"Games\\App"));
    ASSERT_TRUE(CreateFolders(Temp(L"Games\\qel")));
    SString strApp = WideToUtf8(Temp(L"Games\\App"));

    SLaunch launch = Launch(wstrLauncher);

    SString strFailure = "Launcher Main: Failed to load: '" + strApp + "\\..\\qel\\loader.dll'\n\n" +
                         SystemErrorLine(ERROR_MOD_NOT_FOUND);
    ASSERT_EQ(3u, launch.logLines.size());
    EXPECT_EQ((SLogLine{5725, "Launcher Main: Launch: '" + strApp + "', Qel: '" + strApp + "\\..\\qel'"}),
              launch.logLines[0]);
    EXPECT_EQ((SLogLine{5711, strFailure}), launch.logLines[1]);
    EXPECT_TRUE(launch.logLines[1].strMessage.find("\n\nError 126: ") != SString::npos);
    EXPECT_EQ((SLogLine{3200, "Trouble loader-dll-not-loadable"}), launch.logLines[2]);
    ASSERT_EQ(1u, launch.boxes.size());
    EXPECT_EQ(QUESTION_CAPTION, launch.boxes[0].strCaption);
    EXPECT_EQ(strFailure + "\n\n\n" + QUESTION, launch.boxes[0].strText);
    EXPECT_EQ("", SharedUtil::GetSetting("pending-browse-to-solution"));
    EXPECT_EQ(2u, launch.child.dwExitCode);
}
} // namespace
