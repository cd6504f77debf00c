#include <gtest/gtest.h>

#include "SharedUtil.Encoding.h"
#include "SharedUtil.FileAppend.Win32.Seam.h"
#include "SharedUtil.Errno.Win32.h"
#include "SharedUtil.File.h"
#include "SharedUtil.FileAppend.Win32.h"
#include "SharedUtil.FileOpen.Win32.h"
#include "SharedUtil.Path.h"
#include "SharedUtil.PathQuery.Win32.h"
#include "SharedUtil.ScopedHandle.Win32.h"
#include "support/AssertRecorder.h"
#include "support/AppendFaults.Win32.h"
#include "support/FailingAllocation.h"
#include "support/HostLink.Win32.h"
#include "support/ScopedOverride.h"
#include "support/Utf8Text.h"
#include "support/Win32TestSupport.Win32.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <io.h>
#include <set>
#include <string>
#include <system_error>
#include <vector>

using namespace SharedUtil;
using TestSupport::IsRunningOnWine;
using TestSupport::ReadBytesFromFile;
using TestSupport::Utf8;
using TestSupport::WriteBytesToFile;

namespace
{
// Set before a call to show that errno, or the last error, was (not) written.
constexpr int ERRNO_SENTINEL = 0xdead;
constexpr DWORD LAST_ERROR_SENTINEL = 0xdeadbeef;
// Capacity of the path buffers of the tests.
constexpr DWORD PATH_BUFFER_UNITS = 32768;

bool Exists(const WString& wstrPath)
{
    return GetFileAttributesW(wstrPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// True when the platform denies write access to the file.
bool IsWriteRefused(const WString& wstrPath)
{
    SetLastError(LAST_ERROR_SENTINEL);
    const CScopedKernelHandle file(CreateFileW(wstrPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                               nullptr, OPEN_EXISTING, 0, nullptr));
    return !file && GetLastError() == ERROR_ACCESS_DENIED;
}

// True when nobody holds the file open: an exclusive open succeeds.
bool IsClosedEverywhere(const WString& wstrPath)
{
    const CScopedKernelHandle file(CreateFileW(wstrPath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    return file.IsValid();
}

// AppendBelowFolder with one append's own wait for the lock.
bool AppendLineBelow(const SString& strRoot, const SString& strRelative, const void* pData, uint32_t uiLength)
{
    CLockWaitBudget lockWait(APPEND_LOCK_STALL_MS);
    return AppendBelowFolder(strRoot, strRelative, pData, uiLength, lockWait);
}

// A fresh folder per test, in its long form: the temporary folder may be
// named in its short one.
class FileWin32 : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::vector<wchar_t> buffer(PATH_BUFFER_UNITS);
        ASSERT_NE(0u, GetLongPathNameW(m_Temp.GetPath().c_str(), buffer.data(), PATH_BUFFER_UNITS));
        m_wstrRoot = buffer.data();
        m_strRoot = WideToUtf8(m_wstrRoot);
    }

    // UTF-8 and wide forms of a path below the root.
    SString Path(const SString& strRelative) const { return m_strRoot + "\\" + strRelative; }
    WString WidePath(const WString& wstrRelative) const { return m_wstrRoot + L"\\" + wstrRelative; }

    // Every entry below the root, relative and with backslashes.
    std::set<WString> Tree() const
    {
        std::set<WString> entries;
        std::error_code ec;
        for (std::filesystem::recursive_directory_iterator it(m_wstrRoot, ec), end; !ec && it != end; it.increment(ec))
            entries.insert(it->path().lexically_relative(m_wstrRoot).make_preferred().wstring());
        return entries;
    }

    TestSupport::CTempFolder m_Temp;
    WString m_wstrRoot;
    SString m_strRoot;
};

// Installs a final-path answer for OpenFileChecked and restores the real query.
class CFinalPathAnswer
{
public:
    CFinalPathAnswer(const WString& wstrPath, DWORD uiReturned)
    {
        ms_wstrPath = wstrPath;
        ms_uiReturned = uiReturned;
        ms_uiCalls = 0;
    }

    static DWORD WINAPI Answer(HANDLE hFile, LPWSTR szPath, DWORD uiCapacity, DWORD uiFlags)
    {
        ++ms_uiCalls;
        ms_uiCapacity = uiCapacity;
        ms_uiFlags = uiFlags;
        ms_bDiskHandle = GetFileType(hFile) == FILE_TYPE_DISK;
        wcsncpy(szPath, ms_wstrPath.c_str(), uiCapacity);
        return ms_uiReturned;
    }

    static inline WString ms_wstrPath;
    static inline DWORD ms_uiReturned = 0;
    static inline DWORD ms_uiCalls = 0;
    static inline DWORD ms_uiCapacity = 0;
    static inline DWORD ms_uiFlags = 0;
    static inline bool ms_bDiskHandle = false;

private:
    TestSupport::CScopedOverride<FinalPathFunction> m_Query{SetFinalPathFunction, &Answer};
};
} // namespace

TEST(FileErrno, ErrnoFromWin32ErrorFollowsTheTable)
{
    struct SErrnoCase
    {
        DWORD uiError;
        int iErrno;
    };
    const SErrnoCase cases[] = {
        {ERROR_FILE_NOT_FOUND, ENOENT},
        {ERROR_PATH_NOT_FOUND, ENOENT},
        {ERROR_TOO_MANY_OPEN_FILES, EMFILE},
        {ERROR_ACCESS_DENIED, EACCES},
        {ERROR_SHARING_VIOLATION, EACCES},
        {ERROR_LOCK_VIOLATION, EACCES},
        {ERROR_INVALID_DRIVE, ENODEV},
        {ERROR_WRITE_PROTECT, EROFS},
        {ERROR_NOT_READY, ENXIO},
        {ERROR_HANDLE_DISK_FULL, ENOSPC},
        {ERROR_DISK_FULL, ENOSPC},
        {ERROR_FILE_EXISTS, EEXIST},
        {ERROR_ALREADY_EXISTS, EEXIST},
        {ERROR_INVALID_NAME, EINVAL},
        {ERROR_BAD_PATHNAME, EINVAL},
        // everything else
        {ERROR_SUCCESS, EIO},
        {ERROR_INVALID_HANDLE, EIO},
        {ERROR_FILENAME_EXCED_RANGE, EIO},
        {LAST_ERROR_SENTINEL, EIO},
    };
    for (const SErrnoCase& c : cases)
    {
        SCOPED_TRACE(c.uiError);
        EXPECT_EQ(c.iErrno, ErrnoFromWin32Error(c.uiError));
    }
}

TEST_F(FileWin32, OpenFileCheckedRefusesBadArgumentsBeforeAnyPlatformCall)
{
    const SString strFile = Path("f.txt");
    const std::string strTooLong = "C:\\" + std::string(MAX_PERMITTED_PATH_BYTES - 2, 'a');
    struct SRefusalCase
    {
        const char* szPath;
        const char* szMode;
    };
    const SRefusalCase cases[] = {
        {nullptr, "ab"},
        {"", "ab"},
        {strFile.c_str(), nullptr},
        {strFile.c_str(), ""},
        {strFile.c_str(), "abcd"},
        {strFile.c_str(), "rbt"},
        {strFile.c_str(), "x"},
        {"NUL", "wb"},
        {"C:\\x\\nul", "ab"},
        {"CONOUT$", "w"},
        {"\\\\.\\pipe\\sdk_file_test", "rb"},
        {"\\\\?\\C:\\x", "rb"},
        {"//?/C:/x", "rb"},
        {"\\??\\C:\\x", "rb"},
        {"C:\\a:b", "wb"},
        {strTooLong.c_str(), "wb"},
    };
    for (const SRefusalCase& c : cases)
    {
        SCOPED_TRACE(std::string(c.szPath ? c.szPath : "(null)").substr(0, 64) + " / " +
                     (c.szMode ? c.szMode : "(null)"));
        errno = ERRNO_SENTINEL;
        SetLastError(LAST_ERROR_SENTINEL);
        EXPECT_EQ(nullptr, OpenFileChecked(c.szPath, c.szMode));
        EXPECT_EQ(EINVAL, errno);
        EXPECT_EQ(LAST_ERROR_SENTINEL, GetLastError());
    }
    EXPECT_FALSE(Exists(WidePath(L"f.txt")));

    // Permitted, but nothing is left of it in UTF-16.
    errno = ERRNO_SENTINEL;
    EXPECT_EQ(nullptr, OpenFileChecked("\xFF", "wb"));
    EXPECT_EQ(EINVAL, errno);
}

TEST_F(FileWin32, OpenFileCheckedMapsTheErrorsOfTheOpen)
{
    ASSERT_TRUE(CreateDirectoryW(WidePath(L"folder").c_str(), nullptr));
    ASSERT_TRUE(WriteBytesToFile(WidePath(L"locked.txt"), "x"));
    const CScopedKernelHandle lock(
        CreateFileW(WidePath(L"locked.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock.IsValid());

    struct SErrorCase
    {
        SString strPath;
        const char* szMode;
        int iErrno;
    };
    const SErrorCase cases[] = {
        {Path("missing.txt"), "rb", ENOENT},    // file not found
        {Path("missing\\f.txt"), "ab", ENOENT}, // path not found
        {Path("locked.txt"), "rb", EACCES},     // sharing violation
        {Path("folder"), "ab", EACCES},         // a folder is no file: access denied
        {Path("folder"), "rb", EACCES},         // also for reading
        {Path("a*b.txt"), "wb", EINVAL},        // invalid name
    };
    for (const SErrorCase& c : cases)
    {
        SCOPED_TRACE(c.strPath + " / " + c.szMode);
        errno = ERRNO_SENTINEL;
        EXPECT_EQ(nullptr, OpenFileChecked(c.strPath.c_str(), c.szMode));
        EXPECT_EQ(c.iErrno, errno);
    }
}

// A character device behind an ordinary drive path passes the path rules.
TEST_F(FileWin32, OpenFileCheckedRefusesWhatIsNoFileOnDisk)
{
    // Wine shows the host's null device there; Windows has no such path.
    const wchar_t* const wszDevice = L"Z:\\dev\\null";
    // Closed again at once, so that it stands in no way of the open below.
    const bool bHasDevice = CScopedKernelHandle(CreateFileW(wszDevice, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                            nullptr, OPEN_EXISTING, 0, nullptr))
                                .IsValid();
    if (!bHasDevice)
        GTEST_SKIP() << "no character device behind a drive path here";
    errno = ERRNO_SENTINEL;
    EXPECT_EQ(nullptr, OpenFileChecked(WideToUtf8(wszDevice).c_str(), "ab"));
    EXPECT_EQ(EACCES, errno);
}

TEST_F(FileWin32, OpenFileCheckedRefusesFilesOnNetworkShares)
{
    const WString wstrShare = L"\\\\?\\UNC\\server\\share\\f";
    const WString wstrLocal = L"\\\\?\\C:\\f";
    const WString wstrLong = wstrShare + WString(2000, L'x');
    struct SFinalPathCase
    {
        const wchar_t* szName;
        WString wstrFinal;
        DWORD uiReturned;
        bool bRefused;
    };
    const SFinalPathCase cases[] = {
        {L"share.txt", wstrShare, static_cast<DWORD>(wstrShare.size()), true},
        {L"lower.txt", L"\\\\?\\unc\\server\\share\\f", static_cast<DWORD>(wstrShare.size()), true},
        {L"prefix.txt", L"\\\\?\\UNC\\", 8, true}, // the prefix alone
        {L"local.txt", wstrLocal, static_cast<DWORD>(wstrLocal.size()), false},
        {L"failed.txt", L"", 0, false},
        // the buffer was too small: the size needed comes back, the check is skipped
        {L"toolong.txt", wstrLong, static_cast<DWORD>(wstrLong.size() + 1), false},
        {L"uncfile.txt", L"\\\\?\\UNCfile", 11, false},
    };
    for (const SFinalPathCase& c : cases)
    {
        SCOPED_TRACE(WideToUtf8(c.szName));
        const CFinalPathAnswer answer(c.wstrFinal, c.uiReturned);
        errno = ERRNO_SENTINEL;
        FILE* pFile = OpenFileChecked(Path(WideToUtf8(c.szName)).c_str(), "ab");
        EXPECT_EQ(1u, CFinalPathAnswer::ms_uiCalls);
        EXPECT_EQ(FINAL_PATH_CAPACITY, CFinalPathAnswer::ms_uiCapacity);
        EXPECT_EQ(0u, CFinalPathAnswer::ms_uiFlags);
        EXPECT_TRUE(CFinalPathAnswer::ms_bDiskHandle);
        if (c.bRefused)
        {
            EXPECT_EQ(nullptr, pFile);
            EXPECT_EQ(EACCES, errno);
        }
        else
        {
            ASSERT_NE(nullptr, pFile);
            EXPECT_FALSE(IsClosedEverywhere(WidePath(c.szName)));
            std::fclose(pFile);
        }
        // Opened, then refused: the file exists, and no handle is left open.
        EXPECT_TRUE(Exists(WidePath(c.szName)));
        EXPECT_TRUE(IsClosedEverywhere(WidePath(c.szName)));
    }
}

TEST_F(FileWin32, OpenFileCheckedOpensInTheModeAsked)
{
    struct SModeCase
    {
        const char* szInitial; // null: no file yet
        const char* szMode;
        std::string strWrite;
        std::string strExpected;
    };
    const SModeCase cases[] = {
        {nullptr, "wb", "a\nb", "a\nb"},   {nullptr, "w", "a\nb", "a\r\nb"}, // text mode without "b"
        {nullptr, "wt", "a\nb", "a\r\nb"}, {"old", "wb", "x", "x"},          // truncated
        {"old", "ab", "x", "oldx"},        {"old", "a+b", "x", "oldx"},
        {"old", "at", "\n", "old\r\n"},    {"old", "r+b", "X", "Xld"}, // written in place
        {nullptr, "ab", "", ""},                                       // created
    };
    int iFile = 0;
    for (const SModeCase& c : cases)
    {
        SCOPED_TRACE(c.szMode);
        const WString wstrName = L"mode" + std::to_wstring(++iFile) + L".txt";
        if (c.szInitial)
        {
            ASSERT_TRUE(WriteBytesToFile(WidePath(wstrName), c.szInitial));
        }
        FILE* pFile = OpenFileChecked(Path(WideToUtf8(wstrName)).c_str(), c.szMode);
        ASSERT_NE(nullptr, pFile);
        EXPECT_EQ(c.strWrite.size(), std::fwrite(c.strWrite.data(), 1, c.strWrite.size(), pFile));
        EXPECT_EQ(0, std::fclose(pFile));
        EXPECT_TRUE(Exists(WidePath(wstrName)));
        EXPECT_EQ(c.strExpected, ReadBytesFromFile(WidePath(wstrName)));
    }

    // Reading: "rb" keeps the bytes, "r" turns CR LF into LF.
    ASSERT_TRUE(WriteBytesToFile(WidePath(L"crlf.txt"), "a\r\nb"));
    for (const char* szMode : {"rb", "r", "r+"})
    {
        SCOPED_TRACE(szMode);
        constexpr std::size_t READ_LIMIT = 16;
        FILE* pFile = OpenFileChecked(Path("crlf.txt").c_str(), szMode);
        ASSERT_NE(nullptr, pFile);
        char buffer[READ_LIMIT] = {};
        const std::size_t uiRead = std::fread(buffer, 1, READ_LIMIT, pFile);
        std::fclose(pFile);
        EXPECT_EQ(std::string(szMode) == "rb" ? "a\r\nb" : "a\nb", std::string(buffer, uiRead));
    }
}

// The C runtime has room for so many descriptors and so many streams. With
// none left, the handle just opened is closed again and the call fails.
TEST_F(FileWin32, OpenFileCheckedClosesTheFileWhenTheRuntimeHasNoRoomLeft)
{
    // Beyond the runtime's tables (msvcrt: 2048 descriptors, 512 streams).
    constexpr int FILL_LIMIT = 4096;
    const WString wstrFiller = WidePath(L"filler.txt");
    ASSERT_TRUE(WriteBytesToFile(wstrFiller, "f"));
    ASSERT_TRUE(WriteBytesToFile(WidePath(L"target.txt"), "t"));

    for (const bool bStreams : {false, true})
    {
        SCOPED_TRACE(bStreams ? "no stream left" : "no descriptor left");
        std::vector<FILE*> streams;
        std::vector<int> descriptors;
        for (int i = 0; i < FILL_LIMIT; ++i)
        {
            if (bStreams)
            {
                FILE* pStream = _wfopen(wstrFiller.c_str(), L"rb");
                if (!pStream)
                    break;
                streams.push_back(pStream);
            }
            else
            {
                const int iDescriptor = _wopen(wstrFiller.c_str(), _O_RDONLY | _O_BINARY);
                if (iDescriptor == -1)
                    break;
                descriptors.push_back(iDescriptor);
            }
        }
        errno = ERRNO_SENTINEL;
        FILE* pFile = OpenFileChecked(Path("target.txt").c_str(), "rb");
        const int iErrno = errno;
        const bool bClosed = IsClosedEverywhere(WidePath(L"target.txt"));
        for (FILE* pStream : streams)
            std::fclose(pStream);
        for (const int iDescriptor : descriptors)
            _close(iDescriptor);
        if (pFile)
            std::fclose(pFile);

        EXPECT_LT(streams.size() + descriptors.size(), static_cast<std::size_t>(FILL_LIMIT));
        EXPECT_EQ(nullptr, pFile);
        // "Too many open files", of the process (msvcrt) or of the system (Wine).
        EXPECT_TRUE(iErrno == EMFILE || iErrno == ENFILE) << iErrno;
        EXPECT_TRUE(bClosed);
    }
}

TEST_F(FileWin32, AppendToFileAppendsBytesUnchanged)
{
    const SString strFile = Path("log.txt");
    const WString wstrFile = WidePath(L"log.txt");
    EXPECT_TRUE(AppendToFile(strFile, "", 0, false)); // creates the file
    EXPECT_TRUE(Exists(wstrFile));
    EXPECT_EQ("", ReadBytesFromFile(wstrFile));
    EXPECT_TRUE(AppendToFile(strFile, "a\nb", 3, false));
    EXPECT_TRUE(AppendToFile(strFile, "\0c", 2, true)); // a zero byte is data too
    EXPECT_TRUE(AppendToFile(strFile, "zzz", 0, false));
    EXPECT_EQ(std::string("a\nb\0c", 5), ReadBytesFromFile(wstrFile));
}

TEST_F(FileWin32, AppendToFileResetsAttributesOnlyWhenAsked)
{
    const SString strFile = Path("marked.txt");
    const WString wstrFile = WidePath(L"marked.txt");
    ASSERT_TRUE(WriteBytesToFile(wstrFile, "a"));
    ASSERT_TRUE(SetFileAttributesW(wstrFile.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(GetFileAttributesW(wstrFile.c_str()) & FILE_ATTRIBUTE_READONLY);

    // Wine: read-only is the host's file mode, which does not stop root; the
    // append then goes through.
    const bool bRefused = IsWriteRefused(wstrFile);
    errno = ERRNO_SENTINEL;
    EXPECT_EQ(!bRefused, AppendToFile(strFile, "b", 1, false));
    EXPECT_TRUE(!bRefused || errno == EACCES) << errno;
    EXPECT_EQ(bRefused ? "a" : "ab", ReadBytesFromFile(wstrFile));
    EXPECT_TRUE(GetFileAttributesW(wstrFile.c_str()) & FILE_ATTRIBUTE_READONLY);

    EXPECT_TRUE(AppendToFile(strFile, "c", 1, true));
    EXPECT_EQ(bRefused ? "ac" : "abc", ReadBytesFromFile(wstrFile));
    EXPECT_EQ(0u, GetFileAttributesW(wstrFile.c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
}

TEST_F(FileWin32, AppendToFileFailsOnAFolder)
{
    ASSERT_TRUE(CreateDirectoryW(WidePath(L"folder").c_str(), nullptr));
    for (const bool bResetAttributes : {false, true})
    {
        errno = ERRNO_SENTINEL;
        EXPECT_FALSE(AppendToFile(Path("folder"), "x", 1, bResetAttributes));
        EXPECT_EQ(EACCES, errno);
    }
    EXPECT_TRUE(GetFileAttributesW(WidePath(L"folder").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}

// Another writer's append lock, held by a second process.
TEST_F(FileWin32, AppendToFileWaitsBrieflyForAnotherWritersAppendLock)
{
    const SString strFile = Path("locked.log");
    const WString wstrFile = WidePath(L"locked.log");
    ASSERT_TRUE(WriteBytesToFile(wstrFile, "a"));
    TestSupport::CFileLockHolder holder(wstrFile, TestSupport::ELockedRange::APPEND_LOCK_BYTE,
                                        TestSupport::ELockMode::EXCLUSIVE);
    ASSERT_TRUE(holder.IsHeld());

    // The lock stands in no reader's way.
    EXPECT_EQ("a", ReadBytesFromFile(wstrFile));
    {
        const TestSupport::CAppendLockTries tries;
        EXPECT_FALSE(AppendToFile(strFile, "b", 1, false));
        // It tried again, for no longer than its wait: each pause spends at
        // least APPEND_LOCK_RETRY_MS of it, and nobody wrote meanwhile.
        EXPECT_LT(1u, tries.GetCount());
        EXPECT_GE(1 + APPEND_LOCK_STALL_MS / APPEND_LOCK_RETRY_MS, tries.GetCount());
    }
    EXPECT_EQ("a", ReadBytesFromFile(wstrFile));

    // A lock let go within the wait lets the bytes through.
    {
        const TestSupport::CAppendLockTries tries(&holder);
        EXPECT_TRUE(AppendToFile(strFile, "c", 1, false));
        EXPECT_EQ(2u, tries.GetCount());
    }
    EXPECT_EQ("ac", ReadBytesFromFile(wstrFile));
}

// A disk that fills up in the middle of the write leaves nothing of it: the
// file is cut back while the lock is held, and the next append is whole.
TEST_F(FileWin32, AppendsLeaveNothingOfAShortWrite)
{
    struct SWriteCase
    {
        const char* szCase;
        AppendWriteFunction pfnWrite;
    };
    const SWriteCase cases[] = {
        {"half written, then the disk full", &TestSupport::WriteHalfThenFailAsDiskFull},
        {"half written and counted", &TestSupport::WriteHalf},
        {"nothing written", &TestSupport::WriteNothingAsDiskFull},
    };
    const WString wstrFile = WidePath(L"short.log");
    for (const SWriteCase& c : cases)
    {
        SCOPED_TRACE(c.szCase);
        ASSERT_TRUE(WriteBytesToFile(wstrFile, "first\n"));
        {
            TestSupport::CScopedOverride write(SetAppendWriteFunction, c.pfnWrite);
            EXPECT_FALSE(AppendToFile(Path("short.log"), "second line\n", 12, false));
            EXPECT_EQ("first\n", ReadBytesFromFile(wstrFile));
            EXPECT_FALSE(AppendLineBelow(m_strRoot, "short.log", "second line\n", 12));
            EXPECT_EQ("first\n", ReadBytesFromFile(wstrFile));
        }
        EXPECT_TRUE(AppendToFile(Path("short.log"), "third\n", 6, false));
        EXPECT_TRUE(AppendLineBelow(m_strRoot, "short.log", "fourth\n", 7));
        EXPECT_EQ("first\nthird\nfourth\n", ReadBytesFromFile(wstrFile));
    }
}

// Where a fragment stayed behind (a writer that could not cut it back, one
// that crashed), the next line starts on a line of its own; bytes appended
// by AppendToFile go on where the file ends.
TEST_F(FileWin32, AppendBelowFolderStartsItsLineAfterAFragment)
{
    struct SEndCase
    {
        const char* szBefore;
        const char* szLineAfter;
        const char* szBytesAfter;
    };
    const SEndCase cases[] = {
        {"", "line\n", "line\n"},
        {"whole\n", "whole\nline\n", "whole\nline\n"},
        {"5725: 2026-12-11 07:", "5725: 2026-12-11 07:\nline\n", "5725: 2026-12-11 07:line\n"},
    };
    const WString wstrFile = WidePath(L"fragment.log");
    for (const SEndCase& c : cases)
    {
        SCOPED_TRACE(c.szBefore);
        ASSERT_TRUE(WriteBytesToFile(wstrFile, c.szBefore));
        EXPECT_TRUE(AppendLineBelow(m_strRoot, "fragment.log", "line\n", 5));
        EXPECT_EQ(c.szLineAfter, ReadBytesFromFile(wstrFile));
        ASSERT_TRUE(WriteBytesToFile(wstrFile, c.szBefore));
        EXPECT_TRUE(AppendToFile(Path("fragment.log"), "line\n", 5, false));
        EXPECT_EQ(c.szBytesAfter, ReadBytesFromFile(wstrFile));
    }
}

TEST_F(FileWin32, HoldFolderCreatesTheFolderAndKeepsItInPlace)
{
    const WString wstrHeld = WidePath(L"held");
    const WString wstrMoved = WidePath(L"moved");
    {
        const CScopedKernelHandle hHeld = HoldFolder(Path("held"));
        ASSERT_TRUE(hHeld.IsValid());
        EXPECT_TRUE(GetFileAttributesW(wstrHeld.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
        EXPECT_TRUE(HoldFolder(Path("held")).IsValid());
        // Nobody may move it away (and put a link in its place) meanwhile.
        const bool bMoved = MoveFileW(wstrHeld.c_str(), wstrMoved.c_str());
        EXPECT_TRUE(!bMoved || IsRunningOnWine()); // Wine: keeps no sharing modes on folders
        ASSERT_TRUE(!bMoved || MoveFileW(wstrMoved.c_str(), wstrHeld.c_str()));
    }
    EXPECT_TRUE(MoveFileW(wstrHeld.c_str(), wstrMoved.c_str()));

    // A file by that name, or a missing parent, gives nothing, and nothing is created.
    ASSERT_TRUE(WriteBytesToFile(WidePath(L"file"), "x"));
    EXPECT_FALSE(HoldFolder(Path("file")).IsValid());
    EXPECT_EQ("x", ReadBytesFromFile(WidePath(L"file")));
    EXPECT_FALSE(HoldFolder(Path("missing\\child")).IsValid());
    EXPECT_FALSE(Exists(WidePath(L"missing")));
    EXPECT_FALSE(HoldFolder("").IsValid());
}

// A system whose all-users folder its owner moved elsewhere with a link still
// logs: only what lies below the root must be where its name says.
TEST_F(FileWin32, AppendBelowFolderWritesBelowARootThatIsALink)
{
    const WString wstrElsewhere = WidePath(L"elsewhere");
    const WString wstrRoot = WidePath(L"root");
    ASSERT_TRUE(CreateDirectoryW(wstrElsewhere.c_str(), nullptr));
    bool bHostLink = false;
    if (!TestSupport::MakeSymbolicLink(wstrRoot, wstrElsewhere, true, bHostLink))
        GTEST_SKIP() << "this system lets the test make no symbolic link";

    // The first line creates the folders below the root, the second finds them.
    const bool bFirst = AppendLineBelow(Path("root"), "Qel\\1.7\\report.log", "ab\n", 3);
    const bool bSecond = AppendLineBelow(Path("root"), "Qel\\1.7\\report.log", "cd\n", 3);

    EXPECT_TRUE(TestSupport::RemoveSymbolicLink(wstrRoot, true, bHostLink));
    EXPECT_TRUE(bFirst);
    EXPECT_TRUE(bSecond);
    EXPECT_EQ("ab\ncd\n", ReadBytesFromFile(wstrElsewhere + L"\\Qel\\1.7\\report.log"));
}

// Where the root cannot be had, here on a drive that does not exist, the
// line is lost and nothing is created.
TEST_F(FileWin32, AppendBelowFolderLosesTheLineWhenTheRootCannotBeHad)
{
    constexpr char FIRST_DRIVE = 'A';
    const DWORD dwDrives = GetLogicalDrives();
    char cMissing = 0;
    for (char cDrive = 'Y'; cDrive >= 'M' && !cMissing; --cDrive)
    {
        if (!(dwDrives & (1u << (cDrive - FIRST_DRIVE))))
            cMissing = cDrive;
    }
    ASSERT_NE(0, cMissing);
    const SString strRoot = std::string(1, cMissing) + ":\\ProgramData";

    EXPECT_FALSE(AppendLineBelow(strRoot, "Qel\\1.7\\report.log", "ab", 2));
    EXPECT_FALSE(IsExistingDirectory(strRoot));
}

// Refused before anything is made: no bytes to write, or a file the path
// rules forbid (a device, an alternate data stream, a step up).
TEST_F(FileWin32, AppendersRefuseBadArgumentsAndCreateNothing)
{
    ASSERT_TRUE(CreateDirectoryW(WidePath(L"Qel").c_str(), nullptr));
    TestSupport::CAssertRecorder asserts;
    struct SAppendCase
    {
        const char* szRelative;
        const char* pData;
        uint32_t uiLength;
        std::size_t uiAsserts;
    };
    const SAppendCase cases[] = {
        {"Qel\\report.log", nullptr, 1, 2},
        {"Qel\\sub\\nul", "x", 1, 0},
        {"Qel\\sub\\report.log:stream", "x", 1, 0},
        {"Qel\\sub\\..\\report.log", "x", 1, 0},
    };
    for (const SAppendCase& c : cases)
    {
        SCOPED_TRACE(c.szRelative);
        const std::size_t uiAssertsBefore = asserts.Asserts().size();
        EXPECT_FALSE(AppendToFile(Path(c.szRelative), c.pData, c.uiLength, true));
        EXPECT_FALSE(AppendLineBelow(m_strRoot, c.szRelative, c.pData, c.uiLength));
        EXPECT_EQ(c.uiAsserts, asserts.Asserts().size() - uiAssertsBefore);
    }
    EXPECT_EQ(std::set<WString>({L"Qel"}), Tree());
}

// A conversion that cannot get its memory fails the call: nothing is
// created, written or claimed to exist.
TEST_F(FileWin32, CallsFailCleanlyWhereMemoryRunsOut)
{
    ASSERT_TRUE(WriteBytesToFile(WidePath(L"present.txt"), "a"));
    const SString strPresent = Path("present.txt");
    const SString strNew = Path("new.txt");
    const SString strNewFolder = Path("newfolder");
    struct SMemoryCase
    {
        const char* szCall;
        const SString& strPath; // converted once, into a text of its length
        bool (*pfnCall)(const SString& strPath);
    };
    const SMemoryCase cases[] = {
        {"OpenFileChecked", strNew,
         [](const SString& strPath)
         {
             FILE* pFile = OpenFileChecked(strPath.c_str(), "wb");
             if (pFile)
                 std::fclose(pFile);
             return pFile != nullptr || errno != EINVAL;
         }},
        {"AppendToFile", strPresent, [](const SString& strPath) { return AppendToFile(strPath, "b", 1, false); }},
        {"IsExistingFile", strPresent, [](const SString& strPath) { return IsExistingFile(strPath); }},
        {"IsExistingDirectory", m_strRoot, [](const SString& strPath) { return IsExistingDirectory(strPath); }},
        {"AppendBelowFolder", strNew,
         [](const SString& strPath)
         { return AppendLineBelow(GetFolderPart(strPath), GetFileNamePart(strPath), "b", 1); }},
        {"HoldFolder", strNewFolder, [](const SString& strPath) { return HoldFolder(strPath).IsValid(); }},
        {"GetLongPathForm", strPresent, [](const SString& strPath) { return !GetLongPathForm(strPath).empty(); }},
    };
    for (const SMemoryCase& c : cases)
    {
        SCOPED_TRACE(c.szCall);
        TestSupport::CScopedFailingAllocation failing(TestSupport::WideTextBytes(Utf8ToWide(c.strPath).size()));
        errno = ERRNO_SENTINEL;
        EXPECT_FALSE(c.pfnCall(c.strPath));
        EXPECT_TRUE(failing.HasFailed());
    }
    EXPECT_FALSE(Exists(WidePath(L"new.txt")));
    EXPECT_FALSE(Exists(WidePath(L"newfolder")));
    EXPECT_EQ("a", ReadBytesFromFile(WidePath(L"present.txt")));
}
namespace
{
FILE_INFO_BY_HANDLE_CLASS g_eUnanswered = FileBasicInfo;

BOOL WINAPI LeaveOneClassUnanswered(HANDLE hFile, FILE_INFO_BY_HANDLE_CLASS eClass, LPVOID pInformation, DWORD uiSize)
{
    if (eClass == g_eUnanswered)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return GetFileInformationByHandleEx(hFile, eClass, pInformation, uiSize);
}

DWORD WINAPI LeaveFinalPathUnanswered(HANDLE, LPWSTR, DWORD, DWORD)
{
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
}
} // namespace

// A file or folder that cannot be examined counts as a link: the log is
// neither written nor has its marks reset.
TEST_F(FileWin32, AppendBelowFolderWritesNothingItCannotExamine)
{
    const WString wstrLog = WidePath(L"Qel\\report.log");
    ASSERT_TRUE(CreateDirectoryW(WidePath(L"Qel").c_str(), nullptr));
    ASSERT_TRUE(WriteBytesToFile(wstrLog, "a\n"));
    ASSERT_TRUE(AppendLineBelow(m_strRoot, "Qel\\report.log", "b\n", 2));
    ASSERT_TRUE(SetFileAttributesW(wstrLog.c_str(), FILE_ATTRIBUTE_HIDDEN));
    struct SQueryCase
    {
        const char* szUnanswered;
        FinalPathFunction pFinalPath;
        FILE_INFO_BY_HANDLE_CLASS eInformation;
    };
    const SQueryCase cases[] = {
        {"attributes", nullptr, FileAttributeTagInfo},
        {"link count", nullptr, FileStandardInfo},
        {"final path", &LeaveFinalPathUnanswered, FileBasicInfo},
    };
    for (const SQueryCase& c : cases)
    {
        SCOPED_TRACE(c.szUnanswered);
        g_eUnanswered = c.eInformation;
        TestSupport::CScopedOverride information(SetFileInformationFunction, &LeaveOneClassUnanswered);
        TestSupport::CScopedOverride finalPath(SetFinalPathFunction, c.pFinalPath);
        EXPECT_FALSE(AppendLineBelow(m_strRoot, "Qel\\report.log", "c\n", 2));
        EXPECT_EQ("a\nb\n", ReadBytesFromFile(wstrLog));
        EXPECT_TRUE(GetFileAttributesW(wstrLog.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    }
}

// A drive's root has a final path ending in its separator.
TEST_F(FileWin32, AppendBelowFolderWritesBelowADriveRoot)
{
    const SString strDrive = m_strRoot.substr(0, 3); // "C:\"
    const SString strFolder = "sdk_file_win32_root_" + std::to_string(GetCurrentProcessId());
    const WString wstrFolder = Utf8ToWide(strDrive + strFolder);

    const bool bFirst = AppendLineBelow(strDrive, strFolder + "\\report.log", "ab\n", 3);
    const bool bSecond = AppendLineBelow(strDrive, strFolder + "\\report.log", "cd\n", 3);
    const std::string strWritten = ReadBytesFromFile(wstrFolder + L"\\report.log");
    std::error_code ec;
    std::filesystem::remove_all(wstrFolder, ec);

    EXPECT_TRUE(bFirst);
    EXPECT_TRUE(bSecond);
    EXPECT_EQ("ab\ncd\n", strWritten);
}

TEST_F(FileWin32, EnsureParentFoldersCreatesExactlyTheMissingLevels)
{
    struct SFolderCase
    {
        std::vector<WString> existing;
        SString strArgument; // below the root
        std::set<WString> expected;
    };
    const SFolderCase cases[] = {
        {{L"A"}, "A\\B\\report.log", {L"A", L"A\\B"}},
        {{L"A", L"A\\B"}, "A\\B\\report.log", {L"A", L"A\\B"}},
        {{}, "A\\B\\", {L"A", L"A\\B"}}, // trailing separator: B is a folder
        {{}, "A\\B", {L"A"}},            // B is the file name
        {{}, "A/B//f.txt", {L"A", L"A\\B"}},
        {{}, "A\\\\\\B\\f.txt", {L"A", L"A\\B"}},
    };
    for (const SFolderCase& c : cases)
    {
        SCOPED_TRACE(c.strArgument);
        std::error_code ec;
        std::filesystem::remove_all(WidePath(L"A"), ec);
        for (const WString& wstrFolder : c.existing)
            ASSERT_TRUE(CreateDirectoryW(WidePath(wstrFolder).c_str(), nullptr));
        EnsureParentFolders(Path(c.strArgument));
        EXPECT_EQ(c.expected, Tree());
    }
}

TEST_F(FileWin32, EnsureParentFoldersLeavesBareNamesAndBlockedPathsAlone)
{
    std::vector<wchar_t> previous(PATH_BUFFER_UNITS);
    ASSERT_NE(0u, GetCurrentDirectoryW(PATH_BUFFER_UNITS, previous.data()));
    ASSERT_TRUE(SetCurrentDirectoryW(m_wstrRoot.c_str()));
    EnsureParentFolders("report.log");
    EnsureParentFolders("");
    SetCurrentDirectoryW(previous.data());
    EXPECT_EQ(std::set<WString>{}, Tree());

    // A file where a folder should be: nothing can be created below it.
    ASSERT_TRUE(WriteBytesToFile(WidePath(L"file"), "x"));
    EnsureParentFolders(Path("file\\A\\report.log"));
    EXPECT_EQ(std::set<WString>{L"file"}, Tree());
}

TEST_F(FileWin32, FoldersAndFilesWithNonAsciiNames)
{
    const SString strFile = Path(Utf8(u8"Jürgen\\Ελληνικά\\日本語 100%s.log"));
    EnsureParentFolders(strFile);
    EXPECT_TRUE(AppendToFile(strFile, "x", 1, true));
    EXPECT_TRUE(AppendToFile(strFile, "y", 1, false));

    // Checked through wide literals, not through the UTF-8 conversion.
    EXPECT_EQ("xy", ReadBytesFromFile(WidePath(L"J\u00fcrgen\\\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac\\"
                                               L"\u65e5\u672c\u8a9e 100%s.log")));
    EXPECT_TRUE(IsExistingDirectory(Path(Utf8(u8"Jürgen\\Ελληνικά"))));
    EXPECT_TRUE(IsExistingFile(strFile));
    EXPECT_FALSE(IsExistingFile(Path(Utf8(u8"Jurgen\\Ελληνικά\\日本語 100%s.log"))));
}

TEST_F(FileWin32, PathsLongerThanMaxPath)
{
    // Three levels of 100 characters take the path past 260; Wine has no such
    // limit without the \\?\ prefix (which the checked open refuses).
    constexpr std::size_t LEVEL_LENGTH = 100;
    const SString strFolder = Path(std::string(LEVEL_LENGTH, 'a') + "\\" + std::string(LEVEL_LENGTH, 'b') + "\\" +
                                   std::string(LEVEL_LENGTH, 'c'));
    const SString strFile = strFolder + "\\report.log";
    ASSERT_GT(strFile.size(), static_cast<std::size_t>(MAX_PATH));

    EnsureParentFolders(strFile);
    EXPECT_TRUE(IsExistingDirectory(strFolder));
    EXPECT_TRUE(AppendToFile(strFile, "long", 4, true));
    EXPECT_TRUE(IsExistingFile(strFile));
    EXPECT_EQ("long", ReadBytesFromFile(Utf8ToWide(strFile)));
}

TEST(FileWin32Paths, GetAllUsersAppDataPathNamesAnExistingLongFolder)
{
    const SString strPath = GetAllUsersAppDataPath();
    EXPECT_FALSE(strPath.empty());
    EXPECT_TRUE(IsExistingDirectory(strPath));
    EXPECT_EQ(SString::npos, strPath.find('~'));
}

TEST_F(FileWin32, GetLongPathFormExpandsShortNames)
{
    const WString wstrLong = WidePath(L"A long folder name J\u00fcrgen");
    ASSERT_TRUE(CreateDirectoryW(wstrLong.c_str(), nullptr));
    ASSERT_TRUE(WriteBytesToFile(wstrLong + L"\\A long file name.txt", "x"));
    std::vector<wchar_t> buffer(PATH_BUFFER_UNITS);
    ASSERT_NE(0u, GetShortPathNameW((wstrLong + L"\\A long file name.txt").c_str(), buffer.data(), PATH_BUFFER_UNITS));
    const SString strShort = WideToUtf8(buffer.data());
    ASSERT_NE(SString::npos, strShort.find('~'));

    EXPECT_EQ(Path(Utf8(u8"A long folder name Jürgen\\A long file name.txt")), GetLongPathForm(strShort));
}

TEST_F(FileWin32, GetLongPathFormKeepsWhatItCannotExpand)
{
    const SString cases[] = {
        Path(Utf8(u8"missing Jürgen\\x.txt")),
        "C:\\MISSIN~1\\x",
        "",
    };
    for (const SString& strPath : cases)
    {
        SCOPED_TRACE(strPath);
        EXPECT_EQ(strPath, GetLongPathForm(strPath));
    }
}

TEST(FileWin32Environment, ExpandEnvironmentTextExpandsReferences)
{
    const TestSupport::CScopedEnvironment name(L"SDK_FILE_TEST_NAME", L"J\u00fcrgen");
    std::vector<wchar_t> systemRoot(PATH_BUFFER_UNITS);
    ASSERT_NE(0u, GetEnvironmentVariableW(L"SystemRoot", systemRoot.data(), PATH_BUFFER_UNITS));
    struct SExpandCase
    {
        const wchar_t* szText;
        SString strExpected;
    };
    const SExpandCase cases[] = {
        {L"%SystemRoot%\\x", WideToUtf8(systemRoot.data()) + "\\x"},
        {L"\u0395\u03bb %SDK_FILE_TEST_NAME%!", Utf8(u8"Ελ Jürgen!")},
        {L"plain text", "plain text"},
        {L"%SDK_FILE_TEST_UNDEFINED%", "%SDK_FILE_TEST_UNDEFINED%"}, // left as written
        {L"100%", "100%"},
        {L"", ""},
    };
    for (const SExpandCase& c : cases)
    {
        SCOPED_TRACE(c.strExpected);
        EXPECT_EQ(c.strExpected, ExpandEnvironmentText(c.szText));
    }
    EXPECT_EQ("", ExpandEnvironmentText(nullptr));
}

TEST(FileWin32Environment, ExpandEnvironmentTextStopsAtTheCap)
{
    // Each reference expands to 1024 units; the filler sets the exact total.
    constexpr std::size_t VALUE_LENGTH = 1024;
    const WString wstrReference = L"%SDK_FILE_TEST_LONG%";
    const TestSupport::CScopedEnvironment longValue(L"SDK_FILE_TEST_LONG", WString(VALUE_LENGTH, L'v'));
    struct SCapCase
    {
        std::size_t uiReferences;
        std::size_t uiFiller;
        bool bExpanded;
    };
    // With its terminator, the expansion needs exactly the cap, or one unit more.
    const SCapCase cases[] = {
        {MAX_EXPANDED_UNITS / VALUE_LENGTH - 1, VALUE_LENGTH - 1, true},
        {MAX_EXPANDED_UNITS / VALUE_LENGTH, 0, false},
    };
    for (const SCapCase& c : cases)
    {
        SCOPED_TRACE(c.uiReferences);
        WString wstrText(c.uiFiller, L'y');
        for (std::size_t i = 0; i < c.uiReferences; ++i)
            wstrText += wstrReference;
        const SString strResult = ExpandEnvironmentText(wstrText.c_str());
        // Expanded: the platform itself stops at its 32K limit, so only the
        // start of the expansion is checked.
        if (c.bExpanded)
        {
            EXPECT_EQ(SString(std::string(c.uiFiller, 'y') + std::string(VALUE_LENGTH, 'v')),
                      strResult.substr(0, c.uiFiller + VALUE_LENGTH));
            EXPECT_EQ(SString::npos, strResult.find('%'));
        }
        else
        {
            EXPECT_EQ(WideToUtf8(wstrText), strResult);
        }
    }
}
