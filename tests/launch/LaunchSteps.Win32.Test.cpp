// The launch steps in-process: path validity, the command line's arguments,
// the DLL search directory guard, loader loading (also where memory runs
// out), the hand-off's checks and
// the run's COM and application-identity calls.
#include <gtest/gtest.h>

#include "CommandLine.h"
#include "InstallDirectory.h"
#include "Launcher.Seam.h"
#include "Launcher.h"
#include "LoaderEntry.h"
#include "LoaderModule.Seam.h"
#include "LoaderModule.h"
#include "SharedUtil.Encoding.h"
#include "SharedUtil.Module.Win32.Seam.h"
#include "SharedUtil.Path.h"
#include "SharedUtil.ScopedHandle.Win32.h"
#include "support/FailingAllocation.h"
#include "support/ScopedOverride.h"
#include "support/Win32TestSupport.Win32.h"

using namespace Launch;
using namespace TestSupport;
using SharedUtil::WideToUtf8;

namespace
{
constexpr DWORD SENTINEL_ERROR = 0xdeadbeef;
constexpr DWORD DIRECTORY_BUFFER_UNITS = 1024;

std::wstring CurrentDllDirectory()
{
    wchar_t wszDirectory[DIRECTORY_BUFFER_UNITS];
    std::fill(std::begin(wszDirectory), std::end(wszDirectory), L'#');
    DWORD dwLength = GetDllDirectoryW(DIRECTORY_BUFFER_UNITS, wszDirectory);
    return std::wstring(wszDirectory, dwLength < DIRECTORY_BUFFER_UNITS ? dwLength : 0);
}

TEST(IsValidPath, RejectsDoubleDotsAndDoubleSlashes)
{
    struct SCase
    {
        const char* szPath;
        bool bValid;
    };
    const SCase cases[] = {
        {"", true},
        {".", true},   // too short to be checked
        {"/", true},   // too short to be checked
        {"..", false}, // the shortest checked text
        {"C:\\Games\\App", true},
        {"C:\\A..B\\App", false},
        {"C:\\Games\\..\\App", false},
        {"C://Games", false},
        {"\\\\server\\share", true},
        {"C:\\a.b.c\\d", true},
    };
    for (const SCase& c : cases)
    {
        SCOPED_TRACE(c.szPath);
        EXPECT_EQ(c.bValid, IsValidPath(c.szPath));
    }
}

// Discovery checks only the launch path: "qel" joined to a valid one, even
// one ending in dots or separators, stays valid.
TEST(IsValidPath, HoldsForQelBesideAValidLaunchPath)
{
    for (const char* szLaunchPath :
         {"", ".", "/", "\\", "C:\\", "C:\\a.", "C:\\a.\\", "C:/a./", "\\\\server\\.", "C:\\a.\\\\.b"})
    {
        SCOPED_TRACE(szLaunchPath);
        ASSERT_TRUE(IsValidPath(szLaunchPath));
        EXPECT_TRUE(IsValidPath(SharedUtil::CombinePath(szLaunchPath, "qel")));
    }
}

TEST(SkipProgramName, KeepsEveryByteAfterTheProgramNameAndItsBlanks)
{
    struct SCase
    {
        const char* szCommandLine;
        const char* szArguments;
    };
    const SCase cases[] = {
        {"", ""},
        {"prog", ""},
        {"prog a b", "a b"},
        {"prog \t a\tb ", "a\tb "},
        {"\"C:\\My Games\\prog.exe\" -x", "-x"},
        {"\"C:\\My Games\\prog.exe\"-x", "-x"}, // a quoted name ends at its closing quote
        {"\"C:\\no end quote -x", ""},
        {"\"\" a", "a"},
        {"C:\\Pr\xe9\\prog.exe \xe9"
         "a",
         "\xe9"
         "a"}, // bytes of 0x80 and above, in the name and after it
        {"prog \xe9", "\xe9"},
        {"prog \"a b\"  c", "\"a b\"  c"},
        {"prog\nx y", "y"}, // only blanks and tabs end an unquoted name
    };
    for (const SCase& c : cases)
    {
        SCOPED_TRACE(c.szCommandLine);
        EXPECT_STREQ(c.szArguments, SkipProgramName(c.szCommandLine));
    }
    EXPECT_EQ(nullptr, SkipProgramName(nullptr));
}

TEST(IsAddressInModule, FirstByteIsInsideAndTheBytePastTheImageIsOutside)
{
    constexpr uintptr_t BASE = 0x10000000;
    constexpr uintptr_t SIZE = 0x5000;
    struct SCase
    {
        uintptr_t uiAddress;
        bool bInside;
    };
    const SCase cases[] = {
        {BASE, true}, {BASE + SIZE - 1, true}, {BASE + SIZE, false}, {BASE - 1, false}, {0, false},
    };
    for (const SCase& c : cases)
    {
        SCOPED_TRACE(c.uiAddress);
        EXPECT_EQ(c.bInside, IsAddressInModule(c.uiAddress, BASE, SIZE));
    }
    // An image reaching the end of the address space does not wrap around.
    EXPECT_TRUE(IsAddressInModule(UINTPTR_MAX, UINTPTR_MAX - 1, 2));
}

TEST(GetLaunchPath, IsTheFolderOfTheExecutable)
{
    EXPECT_EQ(WideToUtf8(GetBinDirectory()), GetLaunchPath());
}

class DllDirectoryTest : public ::testing::Test
{
protected:
    void TearDown() override { SetDllDirectoryW(nullptr); }
};

TEST_F(DllDirectoryTest, SavingLeavesTheLastErrorAndRestoresOnlyWhenAsked)
{
    ASSERT_TRUE(SetDllDirectoryW(L"C:\\windows"));
    {
        SetLastError(SENTINEL_ERROR);
        CDllDirectoryScope scope;
        EXPECT_EQ(SENTINEL_ERROR, GetLastError());
        EXPECT_EQ(L"C:\\windows", scope.m_strSavedDirectory);
        EXPECT_FALSE(scope.m_bRestore);
        SetDllDirectoryW(L"C:\\users");
    }
    EXPECT_EQ(L"C:\\users", CurrentDllDirectory());

    {
        CDllDirectoryScope scope;
        SetDllDirectoryW(L"C:\\other");
        scope.m_bRestore = true;
    }
    EXPECT_EQ(L"C:\\users", CurrentDllDirectory());
}

TEST_F(DllDirectoryTest, WithNoDirectorySetBeforeTheDefaultOrderComesBack)
{
    SetDllDirectoryW(nullptr);
    {
        CDllDirectoryScope scope;
        EXPECT_TRUE(scope.m_strSavedDirectory.empty());
        SetDllDirectoryW(L"C:\\windows");
        scope.m_bRestore = true;
    }
    EXPECT_EQ(L"", CurrentDllDirectory());
}

// Sizing the saved text may fail where memory runs out; it is then sized and
// read once more, into a fresh text.
TEST_F(DllDirectoryTest, SavingReadsOnceMoreWhenItsTextCannotBeHad)
{
    const std::wstring wstrDirectory = L"C:\\windows\\system32\\drivers";
    ASSERT_TRUE(SetDllDirectoryW(wstrDirectory.c_str()));
    SetLastError(SENTINEL_ERROR);
    {
        // Sized as the system asks: with room for the terminator.
        CScopedFailingAllocation failing(WideTextBytes(wstrDirectory.size() + 1));
        CDllDirectoryScope scope;
        ASSERT_TRUE(failing.HasFailed());
        EXPECT_EQ(wstrDirectory, scope.m_strSavedDirectory);
        EXPECT_FALSE(scope.m_bRestore);
    }
    EXPECT_EQ(SENTINEL_ERROR, GetLastError());
}

// Where the second try fails too, nothing is saved and nothing is thrown:
// the restore then puts back the default search order.
TEST_F(DllDirectoryTest, SavingThatFailsTwiceSavesNothing)
{
    const std::wstring wstrDirectory = L"C:\\windows\\system32\\drivers";
    ASSERT_TRUE(SetDllDirectoryW(wstrDirectory.c_str()));
    SetLastError(SENTINEL_ERROR);
    {
        CScopedFailingAllocation failing(WideTextBytes(wstrDirectory.size() + 1), 2);
        CDllDirectoryScope scope;
        ASSERT_TRUE(failing.HasFailed());
        EXPECT_EQ(L"", scope.m_strSavedDirectory);
        scope.m_bRestore = true;
    }
    EXPECT_EQ(L"", CurrentDllDirectory());
    EXPECT_EQ(SENTINEL_ERROR, GetLastError());
}

class LoadLoaderModuleTest : public DllDirectoryTest
{
protected:
    std::wstring StageQel(bool bWithDependency, const wchar_t* wszLoader = L"dependent_loader.dll")
    {
        std::wstring wstrQel = m_temp.GetPath() + L"\\qel";
        EXPECT_TRUE(CreateFolders(wstrQel));
        EXPECT_TRUE(CopyFileTo(GetBinDirectory() + L"\\fixtures\\" + wszLoader, wstrQel + L"\\loader.dll"));
        if (bWithDependency)
        {
            EXPECT_TRUE(CopyFileTo(GetBinDirectory() + L"\\fixtures\\qeldep.dll", wstrQel + L"\\qeldep.dll"));
        }
        return wstrQel;
    }

    // A qeldep.dll of an attacker's, alone in a folder of its own, which
    // leaves the marker file m_wstrMarker when it runs; returns the folder.
    std::wstring PlantDependency()
    {
        const std::wstring wstrPlanted = m_temp.GetPath() + L"\\planted";
        EXPECT_TRUE(CreateFolders(wstrPlanted));
        EXPECT_TRUE(CopyFileTo(GetBinDirectory() + L"\\fixtures\\planted\\qeldep.dll", wstrPlanted + L"\\qeldep.dll"));
        return wstrPlanted;
    }

    CTempFolder m_temp;
    const std::wstring m_wstrMarker = m_temp.GetPath() + L"\\planted-module-ran";
};

// Makes a folder the current one for the life of the object.
class CScopedCurrentDirectory
{
public:
    explicit CScopedCurrentDirectory(const std::wstring& wstrFolder)
    {
        m_wstrSaved.resize(GetCurrentDirectoryW(DIRECTORY_BUFFER_UNITS, m_wstrSaved.data()));
        EXPECT_TRUE(SetCurrentDirectoryW(wstrFolder.c_str()));
    }
    ~CScopedCurrentDirectory() { SetCurrentDirectoryW(m_wstrSaved.c_str()); }
    CScopedCurrentDirectory(const CScopedCurrentDirectory&) = delete;
    CScopedCurrentDirectory& operator=(const CScopedCurrentDirectory&) = delete;

private:
    std::wstring m_wstrSaved = std::wstring(DIRECTORY_BUFFER_UNITS, L'\0');
};

// No call failed: the error is the invalid path's own, and the thread's last
// error is left as it was.
TEST_F(LoadLoaderModuleTest, EmptyPathIsInvalidWithoutAnyLoad)
{
    SetLastError(SENTINEL_ERROR);
    SLoadResult result = LoadLoaderModule("", "loader.dll", "C:\\qel");
    EXPECT_FALSE(result.bHasValue);
    EXPECT_EQ(ELoadFailure::INVALID_PATH, result.eError);
    EXPECT_EQ(static_cast<uint32_t>(ERROR_BAD_PATHNAME), result.uiSystemError);
    EXPECT_EQ(SENTINEL_ERROR, GetLastError());
}

TEST_F(LoadLoaderModuleTest, EmptyInstallDirectoryIsInvalidAfterTheFirstAttempt)
{
    std::wstring wstrQel = StageQel(false);
    SLoadResult result = LoadLoaderModule(WideToUtf8(wstrQel + L"\\loader.dll"), "loader.dll", "");
    EXPECT_FALSE(result.bHasValue);
    EXPECT_EQ(ELoadFailure::INVALID_PATH, result.eError);
    EXPECT_EQ(static_cast<uint32_t>(ERROR_BAD_PATHNAME), result.uiSystemError);
    EXPECT_EQ(L"", CurrentDllDirectory());
}

TEST_F(LoadLoaderModuleTest, MissingDependencyFailsBothAttemptsAndRestoresTheDirectory)
{
    std::wstring wstrQel = StageQel(false);
    ASSERT_TRUE(SetDllDirectoryW(L"C:\\windows"));

    SLoadResult result = LoadLoaderModule(WideToUtf8(wstrQel + L"\\loader.dll"), "loader.dll", WideToUtf8(wstrQel));

    EXPECT_FALSE(result.bHasValue);
    EXPECT_EQ(ELoadFailure::NOT_LOADABLE, result.eError);
    EXPECT_EQ(static_cast<uint32_t>(ERROR_MOD_NOT_FOUND), result.uiSystemError);
    EXPECT_EQ(L"C:\\windows", CurrentDllDirectory());
}

namespace
{
BOOL WINAPI ChangeDllDirectoryAndLastError(LPCWSTR wszDirectory)
{
    const BOOL bChanged = SetDllDirectoryW(wszDirectory);
    SetLastError(SENTINEL_ERROR);
    return bChanged;
}

BOOL WINAPI RefuseDllDirectory(LPCWSTR)
{
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}
} // namespace

// The error reported is the failing call's, whatever the directory's restore
// leaves in the thread's last error; the restore puts that error back.
TEST_F(LoadLoaderModuleTest, FailureCarriesTheFailingCallsErrorPastTheRestore)
{
    struct SCase
    {
        const char* szName;
        DllDirectoryChangeFunction pChange;
        uint32_t uiSystemError;
    };
    const SCase cases[] = {
        {"the second load fails", &ChangeDllDirectoryAndLastError, ERROR_MOD_NOT_FOUND},
        {"the search directory cannot be set", &RefuseDllDirectory, ERROR_ACCESS_DENIED},
    };
    const std::wstring wstrQel = StageQel(false);
    for (const SCase& c : cases)
    {
        SCOPED_TRACE(c.szName);
        ASSERT_TRUE(SetDllDirectoryW(L"C:\\windows"));
        CScopedOverride override(SetDllDirectoryChangeFunction, c.pChange);

        SLoadResult result = LoadLoaderModule(WideToUtf8(wstrQel + L"\\loader.dll"), "loader.dll", WideToUtf8(wstrQel));

        EXPECT_FALSE(result.bHasValue);
        EXPECT_EQ(ELoadFailure::NOT_LOADABLE, result.eError);
        EXPECT_EQ(c.uiSystemError, result.uiSystemError);
        // The restore keeps it for the caller too.
        EXPECT_EQ(c.uiSystemError, GetLastError());
        EXPECT_EQ(L"C:\\windows", CurrentDllDirectory());
    }
}

// One loader imports qeldep.dll and loads at the first attempt; the other
// loads it by name as it starts, which only the second attempt lets it find.
TEST_F(LoadLoaderModuleTest, ModuleBesideTheLoaderIsFoundAndTheSearchDirectoryKept)
{
    for (const wchar_t* wszLoader : {L"dependent_loader.dll", L"late_dependent_loader.dll"})
    {
        SCOPED_TRACE(WideToUtf8(wszLoader));
        std::wstring wstrQel = StageQel(true, wszLoader);
        ASSERT_TRUE(SetDllDirectoryW(L"C:\\windows"));

        SLoadResult result = LoadLoaderModule(WideToUtf8(wstrQel + L"\\loader.dll"), "loader.dll", WideToUtf8(wstrQel));

        ASSERT_TRUE(result.bHasValue);
        SharedUtil::CScopedModule loader(result.value);
        EXPECT_NE(nullptr, GetProcAddress(loader.Get(), "DoWinMain"));
        EXPECT_EQ(L"C:\\windows", CurrentDllDirectory());
        // The late loader's own reference to qeldep.dll outlives it: release
        // it too, so that no case finds the module already loaded.
        loader.Reset();
        SharedUtil::CScopedModule leftOver(GetModuleHandleW(L"qeldep.dll"));
    }
}

// Each path that loading converts is converted once more where memory runs
// out, and the loader still loads at the second attempt.
TEST_F(LoadLoaderModuleTest, EachPathIsConvertedOnceMoreWhereMemoryRunsOut)
{
    const std::wstring wstrQel = StageQel(true, L"late_dependent_loader.dll");
    const SString strLoaderPath = WideToUtf8(wstrQel + L"\\loader.dll");
    const SString strFileName = "loader.dll";
    const SString strInstallDirectory = WideToUtf8(wstrQel);
    struct SCase
    {
        const char* szText;
        std::size_t uiUnits;
    };
    // Each is the first wide text of its length on the way.
    const SCase cases[] = {
        {"the loader path", strLoaderPath.size()},
        {"the file name", strFileName.size()},
        {"the install directory", strInstallDirectory.size()},
    };
    for (const SCase& c : cases)
    {
        SCOPED_TRACE(c.szText);
        ASSERT_TRUE(SetDllDirectoryW(L"C:\\windows"));
        {
            CScopedFailingAllocation failing(WideTextBytes(c.uiUnits));
            SLoadResult result = LoadLoaderModule(strLoaderPath, strFileName, strInstallDirectory);
            SharedUtil::CScopedModule loader(result.bHasValue ? result.value : nullptr);

            EXPECT_TRUE(failing.HasFailed());
            ASSERT_TRUE(result.bHasValue);
            EXPECT_NE(nullptr, GetProcAddress(loader.Get(), "DoWinMain"));
        }
        EXPECT_EQ(L"C:\\windows", CurrentDllDirectory());
        SharedUtil::CScopedModule leftOver(GetModuleHandleW(L"qeldep.dll"));
    }
}

namespace
{
constexpr DWORD SAFE_SEARCH_FLAGS = LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32;
std::vector<DWORD> g_LoadFlags;

// What Windows 7 without KB2533623 does with the safe search flags.
HMODULE WINAPI LoadRefusingSafeSearchFlags(LPCWSTR wszPath, HANDLE hReserved, DWORD dwFlags)
{
    g_LoadFlags.push_back(dwFlags);
    if (dwFlags & SAFE_SEARCH_FLAGS)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return LoadLibraryExW(wszPath, hReserved, dwFlags);
}

std::wstring GetModulePath(HMODULE hModule)
{
    std::wstring wstrPath(DIRECTORY_BUFFER_UNITS, L'\0');
    wstrPath.resize(GetModuleFileNameW(hModule, wstrPath.data(), DIRECTORY_BUFFER_UNITS));
    return wstrPath;
}
} // namespace

// The loader's own folder still comes first in the older search order, before
// the current folder and the PATH folders, where copies of its dependency lie.
TEST_F(LoadLoaderModuleTest, WithoutTheSafeSearchFlagsTheLoaderStillLoadsAndNoPlantedModuleRuns)
{
    const std::wstring wstrQel = StageQel(true);
    const std::wstring wstrPlanted = PlantDependency();
    std::wstring wstrPath(GetEnvironmentVariableW(L"PATH", nullptr, 0), L'\0');
    wstrPath.resize(GetEnvironmentVariableW(L"PATH", wstrPath.data(), static_cast<DWORD>(wstrPath.size())));
    g_LoadFlags.clear();
    std::wstring wstrDependency;
    {
        CScopedCurrentDirectory current(wstrPlanted);
        CScopedEnvironment path(L"PATH", wstrPlanted + L";" + wstrPath);
        CScopedEnvironment marker(L"QEL_PLANTED_MARKER", m_wstrMarker);
        CScopedOverride override(SharedUtil::SetLibraryLoadFunction, &LoadRefusingSafeSearchFlags);
        SLoadResult result = LoadLoaderModule(WideToUtf8(wstrQel + L"\\loader.dll"), "loader.dll", WideToUtf8(wstrQel));
        SharedUtil::CScopedModule loader(result.bHasValue ? result.value : nullptr);
        EXPECT_TRUE(result.bHasValue);
        EXPECT_NE(nullptr, GetProcAddress(loader.Get(), "DoWinMain"));
        wstrDependency = GetModulePath(GetModuleHandleW(L"qeldep.dll"));
    }

    EXPECT_EQ(std::vector<DWORD>({SAFE_SEARCH_FLAGS, LOAD_WITH_ALTERED_SEARCH_PATH}), g_LoadFlags);
    EXPECT_EQ(0, _wcsicmp((wstrQel + L"\\qeldep.dll").c_str(), wstrDependency.c_str())) << WideToUtf8(wstrDependency);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(m_wstrMarker.c_str()));
}

namespace
{
// The loads and the changes of the DLL search directory, in order.
std::vector<std::wstring> g_LoadEvents;

HMODULE WINAPI RecordLoadRefusingSafeSearchFlags(LPCWSTR wszPath, HANDLE hReserved, DWORD dwFlags)
{
    g_LoadEvents.push_back(dwFlags == LOAD_WITH_ALTERED_SEARCH_PATH ? L"load, altered search" : L"load, safe search");
    return LoadRefusingSafeSearchFlags(wszPath, hReserved, dwFlags);
}

BOOL WINAPI RecordDllDirectoryChange(LPCWSTR wszDirectory)
{
    g_LoadEvents.push_back(L"directory '" + std::wstring(wszDirectory ? wszDirectory : L"(none)") + L"'");
    return SetDllDirectoryW(wszDirectory);
}
} // namespace

// The older search order takes the current folder after the system folders:
// an empty DLL search directory keeps it out of the first attempt, and the
// install directory out of the second. A dependency that lies only there is
// not loaded, and the default order is back afterwards.
TEST_F(LoadLoaderModuleTest, WithoutTheSafeSearchFlagsADependencyOnlyInTheCurrentFolderIsNotLoaded)
{
    const std::wstring wstrQel = StageQel(false);
    const std::wstring wstrPlanted = PlantDependency();
    ASSERT_TRUE(SetDllDirectoryW(nullptr));
    g_LoadEvents.clear();
    SLoadResult result = [&]
    {
        CScopedCurrentDirectory current(wstrPlanted);
        CScopedEnvironment marker(L"QEL_PLANTED_MARKER", m_wstrMarker);
        CScopedOverride load(SharedUtil::SetLibraryLoadFunction, &RecordLoadRefusingSafeSearchFlags);
        CScopedOverride change(SetDllDirectoryChangeFunction, &RecordDllDirectoryChange);
        return LoadLoaderModule(WideToUtf8(wstrQel + L"\\loader.dll"), "loader.dll", WideToUtf8(wstrQel));
    }();
    SharedUtil::CScopedModule loader(result.bHasValue ? result.value : nullptr);
    SharedUtil::CScopedModule planted(GetModuleHandleW(L"qeldep.dll"));

    const std::vector<std::wstring> firstAttempt = {L"load, safe search", L"directory ''", L"load, altered search",
                                                    L"directory '(none)'"};
    ASSERT_LE(firstAttempt.size(), g_LoadEvents.size());
    EXPECT_EQ(firstAttempt, std::vector<std::wstring>(g_LoadEvents.begin(), g_LoadEvents.begin() + 4));
    if (IsRunningOnWine())
    {
        // Wine 8 takes an empty search directory for none, and keeps the
        // current folder in the search; Windows takes it out.
        EXPECT_TRUE(result.bHasValue);
        return;
    }
    EXPECT_EQ(std::vector<std::wstring>({L"load, safe search", L"directory ''", L"load, altered search",
                                         L"directory '(none)'", L"load, safe search", L"directory '" + wstrQel + L"'",
                                         L"load, altered search", L"directory '(none)'"}),
              g_LoadEvents);
    EXPECT_FALSE(result.bHasValue);
    EXPECT_EQ(ELoadFailure::NOT_LOADABLE, result.eError);
    EXPECT_EQ(static_cast<uint32_t>(ERROR_MOD_NOT_FOUND), result.uiSystemError);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(m_wstrMarker.c_str()));
}

TEST(CallLoaderEntry, NullModuleFailsWithoutReport)
{
    std::size_t uiLinesBefore = ReadReportLogLinesOf(GetCurrentProcessId()).size();
    SHandOffResult result = CallLoaderEntry(nullptr, nullptr, nullptr, "x", SW_SHOW);
    EXPECT_FALSE(result.bHasValue);
    EXPECT_EQ(EExitCode::HANDOFF_FAILED, result.eError);
    EXPECT_EQ(uiLinesBefore, ReadReportLogLinesOf(GetCurrentProcessId()).size());
}

TEST(CallLoaderEntry, NullCommandLineArrivesEmptyAndTheResultPassesThrough)
{
    CTempFolder temp;
    std::wstring wstrReport = temp.GetPath() + L"\\report.txt";
    const CScopedEnvironment report(L"QEL_SAMPLE_REPORT", wstrReport);
    const CScopedEnvironment exitCode(L"QEL_SAMPLE_EXIT_CODE", L"17");
    SharedUtil::CScopedModule loader(LoadLibraryW((GetBinDirectory() + L"\\loader.dll").c_str()));
    ASSERT_TRUE(loader.IsValid());

    SHandOffResult result = CallLoaderEntry(loader.Get(), GetModuleHandleW(nullptr), nullptr, nullptr, SW_HIDE);

    loader.Reset();
    ASSERT_TRUE(result.bHasValue);
    EXPECT_EQ(17, result.value);
    std::string strReport = ReadBytesFromFile(wstrReport);
    EXPECT_NE(std::string::npos, strReport.find("command-line: \ncommand-line-bytes: 0\nshow-command: 0\n"));
}

int g_iCoUninitializeCalls = 0;
std::wstring g_wstrIdentity;
std::size_t g_uiLinesAtIdentity = 0;

HRESULT WINAPI FailingCoInitializeEx(LPVOID, DWORD)
{
    return E_OUTOFMEMORY;
}

void WINAPI CountingCoUninitialize()
{
    ++g_iCoUninitializeCalls;
}

HRESULT WINAPI RecordIdentity(PCWSTR wszIdentity)
{
    g_wstrIdentity = wszIdentity;
    g_uiLinesAtIdentity = ReadReportLogLinesOf(GetCurrentProcessId()).size();
    return S_OK;
}

TEST(RunLauncher, FailedComIsReportedAndTheLaunchGoesOnToTheEnd)
{
    std::size_t uiLinesBefore = ReadReportLogLinesOf(GetCurrentProcessId()).size();
    int iExitCode;
    {
        CScopedOverride initialize(SetCoInitializeExFunction, FailingCoInitializeEx);
        CScopedOverride uninitialize(SetCoUninitializeFunction, CountingCoUninitialize);
        CScopedOverride identity(SetApplicationIdentityFunction, RecordIdentity);
        iExitCode = RunLauncher(GetModuleHandleW(nullptr), nullptr, "", SW_SHOW);
    }

    // Nothing named qel lies beside the tests or above them.
    EXPECT_EQ(1, iExitCode);
    EXPECT_EQ(1, g_iCoUninitializeCalls);
    // The words in capitals are part of the identity, not placeholders.
    EXPECT_EQ(L"Valdrenne QELMAR_VERSION_MAJOR.QELMAR_VERSION_MINOR", g_wstrIdentity);
    // Set before discovery wrote its line, so it holds for a failing launch too.
    EXPECT_EQ(uiLinesBefore + 1, g_uiLinesAtIdentity);
    std::vector<SString> lines = ReadReportLogLinesOf(GetCurrentProcessId());
    ASSERT_EQ(uiLinesBefore + 2, lines.size());
    uint32_t uiId = 0;
    SString strMessage;
    ASSERT_TRUE(SplitReportLogLine(lines[uiLinesBefore], uiId, strMessage));
    EXPECT_EQ(5737u, uiId);
    EXPECT_EQ("Launcher Main: COM initialization failed (hr=0x8007000E)", strMessage);
    ASSERT_TRUE(SplitReportLogLine(lines[uiLinesBefore + 1], uiId, strMessage));
    EXPECT_EQ(5730u, uiId);
    EXPECT_EQ("Launcher Main: Qel directory not found from: '" + WideToUtf8(GetBinDirectory()) + "'", strMessage);
}
} // namespace
