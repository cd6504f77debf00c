#include "SharedUtil.FileAppend.Win32.h"

#include <algorithm>
#include <cerrno>
#include <cwctype>
#include <direct.h>
#include <limits>
#include <utility>
#include <vector>

#include "SharedUtil.Assert.h"
#include "SharedUtil.Encoding.h"
#include "SharedUtil.Errno.Win32.h"
#include "SharedUtil.File.h"
#include "SharedUtil.FileAppend.Win32.Seam.h"
#include "SharedUtil.FilePath.h"
#include "SharedUtil.OutOfMemory.h"
#include "SharedUtil.Path.h"
#include "SharedUtil.SeamSetter.h"

namespace SharedUtil
{
namespace
{
// \\?\ starts the final path of a file on a drive.
constexpr wchar_t LOCAL_FINAL_PATH_PREFIX[] = L"\\\\?\\";
// \\?\UNC\ starts the final path of a file on a network share.
constexpr wchar_t NETWORK_FINAL_PATH_PREFIX[] = L"\\\\?\\UNC\\";
constexpr DWORD NETWORK_FINAL_PATH_PREFIX_LENGTH = std::size(NETWORK_FINAL_PATH_PREFIX) - 1;

// Every opener shares the file fully: writers of the same log in other
// processes, readers, and whoever renames or deletes it.
constexpr DWORD SHARE_ALL = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// A held folder shares all but deletion, which renaming needs too.
constexpr DWORD SHARE_ALL_BUT_DELETE = FILE_SHARE_READ | FILE_SHARE_WRITE;

// Append-only access: without FILE_WRITE_DATA every write goes to the end of
// the file, wherever other writers have moved it. LockFileEx wants read or
// write access besides.
constexpr DWORD APPEND_ACCESS = GENERIC_READ | FILE_APPEND_DATA;

constexpr unsigned DWORD_BITS = 32;
constexpr char LINE_FEED = '\n';
constexpr DWORD LINE_FEED_BYTES = 1;
constexpr uint64_t FILE_END_UNKNOWN = std::numeric_limits<uint64_t>::max();

FinalPathFunction g_pfnFinalPath = &GetFinalPathNameByHandleW;
FileInformationFunction g_pfnFileInformation = &GetFileInformationByHandleEx;
AppendLockFunction g_pfnAppendLock = &LockFileEx;
AppendWriteFunction g_pfnAppendWrite = &WriteFile;

// Where an append's bytes begin.
enum class EAppendStart
{
    AT_THE_END,
    ON_A_FRESH_LINE,
};

CScopedKernelHandle FailHandleWithErrno(int iErrno)
{
    errno = iErrno;
    return CScopedKernelHandle();
}

// The attributes of what the handle opened (the link itself, when it was
// opened as one); INVALID_FILE_ATTRIBUTES when they cannot be read.
DWORD QueryOwnAttributes(HANDLE hFile)
{
    FILE_ATTRIBUTE_TAG_INFO info = {};
    if (!g_pfnFileInformation(hFile, FileAttributeTagInfo, &info, sizeof(info)))
        return INVALID_FILE_ATTRIBUTES;
    return info.FileAttributes;
}

// A name that cannot be told from a reparse point counts as one.
bool IsReparsePoint(HANDLE hFile)
{
    const DWORD dwAttributes = QueryOwnAttributes(hFile);
    return dwAttributes == INVALID_FILE_ATTRIBUTES || (dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// A file with another name (a hard link) may be one that its other name's
// owner made to a file they may not write. A count that cannot be read
// counts as more than one.
bool HasOneName(HANDLE hFile)
{
    FILE_STANDARD_INFO info = {};
    return g_pfnFileInformation(hFile, FileStandardInfo, &info, sizeof(info)) && info.NumberOfLinks == 1;
}

// Without the flag a link is followed before anything can look at it.
DWORD ToOpenFlags(ELinkPolicy eLinks)
{
    return eLinks == ELinkPolicy::REFUSE_LINKS ? FILE_FLAG_OPEN_REPARSE_POINT : 0;
}

// A final path of \\?\UNC\... (the letters in any case) that fits the buffer.
// One too long for the buffer is let through, as the checked open's callers
// have always had it: refusing every long path would refuse long local ones
// too, and no write relies on this refusal for its safety (links are refused
// by checks of their own).
bool IsNetworkFinalPath(const wchar_t* szPath, DWORD uiLength)
{
    if (uiLength < NETWORK_FINAL_PATH_PREFIX_LENGTH || uiLength >= FINAL_PATH_CAPACITY)
        return false;
    for (DWORD i = 0; i < NETWORK_FINAL_PATH_PREFIX_LENGTH; ++i)
    {
        if (std::towupper(szPath[i]) != NETWORK_FINAL_PATH_PREFIX[i])
            return false;
    }
    return true;
}

// Clears read-only, hidden and system marks; zero times stay as they are.
void SetNormalAttributes(HANDLE hFile)
{
    FILE_BASIC_INFO info = {};
    info.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    SetFileInformationByHandle(hFile, FileBasicInfo, &info, sizeof(info));
}

// A file that cannot be reached is left to the open that follows.
void ResetAttributes(const WString& wstrPath)
{
    const CScopedKernelHandle hFile(
        CreateFileW(wstrPath.c_str(), FILE_WRITE_ATTRIBUTES, SHARE_ALL, nullptr, OPEN_EXISTING, 0, nullptr));
    if (hFile.IsValid())
        SetNormalAttributes(hFile.Get());
}

// The final path, as the query left it, is exactly the expected one (letters
// in any case).
bool IsFinalPath(const wchar_t* szFinalPath, DWORD uiLength, const WString& wstrExpected)
{
    return uiLength < FINAL_PATH_CAPACITY && uiLength == wstrExpected.size() &&
           CompareStringOrdinal(szFinalPath, static_cast<int>(uiLength), wstrExpected.c_str(),
                                static_cast<int>(uiLength), TRUE) == CSTR_EQUAL;
}

bool HasFinalPath(HANDLE hFile, const WString& wstrExpected)
{
    wchar_t szFinalPath[FINAL_PATH_CAPACITY] = {};
    return IsFinalPath(szFinalPath, g_pfnFinalPath(hFile, szFinalPath, FINAL_PATH_CAPACITY, 0), wstrExpected);
}

// Where a folder really is, links on the way followed: its final path without
// a trailing separator; empty when it cannot be had.
WString GetFolderFinalPath(const SString& strFolder)
{
    const CScopedKernelHandle hFolder(CreateFileW(Utf8ToWide(strFolder).c_str(), FILE_READ_ATTRIBUTES, SHARE_ALL,
                                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!hFolder.IsValid())
        return WString();
    wchar_t szFinalPath[FINAL_PATH_CAPACITY] = {};
    DWORD uiLength = g_pfnFinalPath(hFolder.Get(), szFinalPath, FINAL_PATH_CAPACITY, 0);
    if (uiLength == 0 || uiLength >= FINAL_PATH_CAPACITY)
        return WString();
    if (szFinalPath[uiLength - 1] == WIDE_PATH_SEPARATOR)
        --uiLength;
    return WString(szFinalPath, uiLength);
}

// One pause for another writer's append lock: what it took, and at least
// what it asked for.
uint32_t PauseForAppendLock()
{
    const ULONGLONG ullStart = GetTickCount64();
    Sleep(APPEND_LOCK_RETRY_MS);
    const ULONGLONG ullPaused =
        std::clamp<ULONGLONG>(GetTickCount64() - ullStart, APPEND_LOCK_RETRY_MS, std::numeric_limits<uint32_t>::max());
    return static_cast<uint32_t>(ullPaused);
}

// Where the file ends, FILE_END_UNKNOWN when that cannot be read.
uint64_t ReadFileEnd(HANDLE hFile)
{
    LARGE_INTEGER llEnd = {};
    return GetFileSizeEx(hFile, &llEnd) ? static_cast<uint64_t>(llEnd.QuadPart) : FILE_END_UNKNOWN;
}

// Tries for the append lock until it is had, or until this append has waited
// APPEND_LOCK_STALL_MS (less when the budget holds less) on end while the
// file did not move, or APPEND_LOCK_WAIT_MS in all. Writers that take turns
// move the end of the file between two tries, and a wait for them starts the
// stall afresh; someone who holds the lock without writing, a writer that
// hangs or a reader who locked the file whole, does not. What a wait that
// ends without the lock stalled is taken from the budget. It polls instead
// of blocking: a blocking LockFileEx has no time limit. A file system that
// offers no locks lets the write go on without one: append-only access
// still puts it at the end.
bool TakeAppendLock(HANDLE hFile, OVERLAPPED& lockRange, CLockWaitBudget& budget)
{
    const uint32_t uiStallMs = std::min(APPEND_LOCK_STALL_MS, budget.GetRemainingMs());
    CLockWaitBudget wait(APPEND_LOCK_WAIT_MS);
    CLockWaitBudget stall(uiStallMs);
    // Read only once another writer is found holding the lock: an append
    // that takes it at once, every launch's, reads the end once, under it.
    uint64_t uiEnd = FILE_END_UNKNOWN;
    while (!g_pfnAppendLock(hFile, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, APPEND_LOCK_BYTES, 0,
                            &lockRange))
    {
        if (GetLastError() != ERROR_LOCK_VIOLATION)
            return true;
        if (stall.GetRemainingMs() == 0 || wait.GetRemainingMs() == 0)
        {
            budget.Spend(uiStallMs - stall.GetRemainingMs());
            return false;
        }
        const uint32_t uiPausedMs = PauseForAppendLock();
        wait.Spend(uiPausedMs);
        const uint64_t uiEndBefore = std::exchange(uiEnd, ReadFileEnd(hFile));
        if (uiEnd != uiEndBefore && uiEnd != FILE_END_UNKNOWN && uiEndBefore != FILE_END_UNKNOWN)
            stall = CLockWaitBudget(uiStallMs);
        else
            stall.Spend(uiPausedMs);
    }
    return true;
}

// One write call, so that the bytes stay together.
bool WriteWhole(HANDLE hFile, const void* pData, DWORD uiLength)
{
    DWORD uiWritten = 0;
    return g_pfnAppendWrite(hFile, pData, uiLength, &uiWritten, nullptr) && uiWritten == uiLength;
}

// Whether the byte before uiEnd ends a line. An end that cannot be read does
// not: an empty line does no harm, a line glued to a fragment does.
bool EndsLine(HANDLE hFile, uint64_t uiEnd)
{
    if (uiEnd == 0)
        return true;
    OVERLAPPED lastByte = {};
    lastByte.Offset = static_cast<DWORD>(uiEnd - 1);
    lastByte.OffsetHigh = static_cast<DWORD>((uiEnd - 1) >> DWORD_BITS);
    char cLast = 0;
    DWORD uiRead = 0;
    return ReadFile(hFile, &cLast, LINE_FEED_BYTES, &uiRead, &lastByte) && uiRead == LINE_FEED_BYTES &&
           cLast == LINE_FEED;
}

// Puts the end of the file back at uiEnd, through a handle of its own: an
// append-only handle may not move the end. Where that is refused the
// fragment stays, and the next line appended starts on a fresh line.
void CutBack(HANDLE hFile, uint64_t uiEnd)
{
    const CScopedKernelHandle hWriter(ReOpenFile(hFile, GENERIC_WRITE, SHARE_ALL, 0));
    FILE_END_OF_FILE_INFO info = {};
    info.EndOfFile.QuadPart = static_cast<LONGLONG>(uiEnd);
    if (hWriter.IsValid())
        SetFileInformationByHandle(hWriter.Get(), FileEndOfFileInfo, &info, sizeof(info));
}

// The bytes under the append lock, whole or not at all: where the file ends
// is read under the lock, and a short write is cut back to it before the
// lock is let go, so that no other writer's bytes follow a fragment.
bool WriteUnderAppendLock(HANDLE hFile, const void* pData, uint32_t uiLength, CLockWaitBudget& budget,
                          EAppendStart eStart)
{
    OVERLAPPED lockRange = {};
    lockRange.Offset = static_cast<DWORD>(APPEND_LOCK_OFFSET);
    lockRange.OffsetHigh = static_cast<DWORD>(APPEND_LOCK_OFFSET >> DWORD_BITS);
    if (!TakeAppendLock(hFile, lockRange, budget))
        return false;
    const uint64_t uiEnd = ReadFileEnd(hFile);
    const bool bEndKnown = uiEnd != FILE_END_UNKNOWN;
    const bool bFreshLine = eStart == EAppendStart::AT_THE_END || (bEndKnown && EndsLine(hFile, uiEnd)) ||
                            WriteWhole(hFile, &LINE_FEED, LINE_FEED_BYTES);
    const bool bWritten = bFreshLine && WriteWhole(hFile, pData, uiLength);
    if (!bWritten && bEndKnown)
        CutBack(hFile, uiEnd);
    UnlockFileEx(hFile, 0, APPEND_LOCK_BYTES, 0, &lockRange);
    return bWritten;
}

} // namespace

CScopedKernelHandle OpenHandleChecked(const char* szPath, DWORD dwAccess, DWORD dwDisposition, ELinkPolicy eLinks,
                                      const WString* pwstrFinalPath)
{
    if (!IsPermittedFilePath(szPath))
        return FailHandleWithErrno(EINVAL);
    return FailOnOutOfMemory(
        [&]
        {
            const WString wstrPath = Utf8ToWide(szPath);
            if (wstrPath.empty())
                return FailHandleWithErrno(EINVAL);

            CScopedKernelHandle hFile(CreateFileW(wstrPath.c_str(), dwAccess, SHARE_ALL, nullptr, dwDisposition,
                                                  FILE_ATTRIBUTE_NORMAL | ToOpenFlags(eLinks), nullptr));
            if (!hFile.IsValid())
                return FailHandleWithErrno(ErrnoFromWin32Error(GetLastError()));

            // Devices, pipes and consoles are no files.
            if (GetFileType(hFile.Get()) != FILE_TYPE_DISK)
                return FailHandleWithErrno(EACCES);

            wchar_t szFinalPath[FINAL_PATH_CAPACITY] = {};
            const DWORD uiFinalLength = g_pfnFinalPath(hFile.Get(), szFinalPath, FINAL_PATH_CAPACITY, 0);
            if (IsNetworkFinalPath(szFinalPath, uiFinalLength) ||
                (pwstrFinalPath && !IsFinalPath(szFinalPath, uiFinalLength, *pwstrFinalPath)))
                return FailHandleWithErrno(EACCES);

            if (eLinks == ELinkPolicy::REFUSE_LINKS && (IsReparsePoint(hFile.Get()) || !HasOneName(hFile.Get())))
                return FailHandleWithErrno(EACCES);
            return hFile;
        },
        [] { return FailHandleWithErrno(EINVAL); });
}

namespace
{
// The file's own handle, checked to be the file at wstrFinalPath with no
// other name; created when missing, but never through a link: CREATE_NEW
// does not follow one. Another writer may create the file in between.
CScopedKernelHandle OpenAtFinalPath(const SString& strPath, DWORD dwAccess, const WString& wstrFinalPath)
{
    constexpr DWORD DISPOSITIONS[] = {OPEN_EXISTING, CREATE_NEW, OPEN_EXISTING};
    CScopedKernelHandle hFile;
    for (DWORD dwDisposition : DISPOSITIONS)
    {
        hFile = OpenHandleChecked(strPath.c_str(), dwAccess, dwDisposition, ELinkPolicy::REFUSE_LINKS, &wstrFinalPath);
        if (hFile.IsValid() || (errno != ENOENT && errno != EEXIST))
            break;
    }
    return hFile;
}

// The attribute reset first, through a handle that may only change
// attributes: a read-only file cannot be opened for appending.
bool AppendAtFinalPath(const SString& strPath, const WString& wstrFinalPath, const void* pData, uint32_t uiLength,
                       CLockWaitBudget& lockBudget)
{
    {
        const CScopedKernelHandle hFile =
            OpenAtFinalPath(strPath, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, wstrFinalPath);
        if (!hFile.IsValid())
            return false;
        SetNormalAttributes(hFile.Get());
    }
    const CScopedKernelHandle hFile = OpenAtFinalPath(strPath, APPEND_ACCESS, wstrFinalPath);
    return hFile.IsValid() && (uiLength == 0 || WriteUnderAppendLock(hFile.Get(), pData, uiLength, lockBudget,
                                                                     EAppendStart::ON_A_FRESH_LINE));
}
} // namespace

FinalPathFunction SetFinalPathFunction(FinalPathFunction pFunction)
{
    return ReplaceSeamFunction(g_pfnFinalPath, pFunction, &GetFinalPathNameByHandleW);
}

FileInformationFunction SetFileInformationFunction(FileInformationFunction pFunction)
{
    return ReplaceSeamFunction(g_pfnFileInformation, pFunction, &GetFileInformationByHandleEx);
}

AppendLockFunction SetAppendLockFunction(AppendLockFunction pFunction)
{
    return ReplaceSeamFunction(g_pfnAppendLock, pFunction, &LockFileEx);
}

AppendWriteFunction SetAppendWriteFunction(AppendWriteFunction pFunction)
{
    return ReplaceSeamFunction(g_pfnAppendWrite, pFunction, &WriteFile);
}

void EnsureParentFolders(const SString& strFilePath)
{
    return FailOnOutOfMemory(
        [&]
        {
            const SString strSeparator = "\\";
            std::vector<SString> parts;
            NormalizeSeparators(strFilePath).SplitInto(strSeparator, parts);
            const int32_t iPartCount = static_cast<int32_t>(parts.size());

            // The number of leading parts that already form a folder; -1 for none.
            int32_t iExisting = iPartCount - 1;
            while (iExisting >= 0 && !IsExistingDirectory(JoinParts(parts, strSeparator, 0, iExisting)))
                --iExisting;

            // The last part is the file name, so at most iPartCount - 1 parts make a folder.
            for (int32_t iLevel = iExisting + 1; iLevel < iPartCount; ++iLevel)
                _wmkdir(Utf8ToWide(JoinParts(parts, strSeparator, 0, iLevel)).c_str());
        },
        [] {});
}

bool AppendToFile(const SString& strPath, const void* pData, uint32_t uiLength, bool bResetAttributes)
{
    return FailOnOutOfMemory(
        [&]
        {
            SU_ASSERT(pData || uiLength == 0);
            if ((!pData && uiLength != 0) || !IsPermittedFilePath(strPath.c_str()))
                return false;
            if (bResetAttributes)
                ResetAttributes(Utf8ToWide(strPath));

            const CScopedKernelHandle hFile =
                OpenHandleChecked(strPath.c_str(), APPEND_ACCESS, OPEN_ALWAYS, ELinkPolicy::FOLLOW_LINKS);
            if (!hFile.IsValid())
                return false;
            CLockWaitBudget lockWait(APPEND_LOCK_STALL_MS);
            return uiLength == 0 ||
                   WriteUnderAppendLock(hFile.Get(), pData, uiLength, lockWait, EAppendStart::AT_THE_END);
        },
        [] { return false; });
}

bool AppendBelowFolder(const SString& strRoot, const SString& strRelativePath, const void* pData, uint32_t uiLength,
                       CLockWaitBudget& lockBudget)
{
    return FailOnOutOfMemory(
        [&]
        {
            SU_ASSERT(pData || uiLength == 0);
            const SString strPath = CombinePath(strRoot, strRelativePath);
            // Checked before any folder is made for a file that could not be written.
            if ((!pData && uiLength != 0) || !IsPermittedFilePath(strPath.c_str()))
                return false;

            // Most times the file is there and writable, and its final path is the
            // path asked for: no link was on the way, and one open does it all.
            {
                const WString wstrFinalPath = LOCAL_FINAL_PATH_PREFIX + Utf8ToWide(strPath);
                const CScopedKernelHandle hFile =
                    OpenHandleChecked(strPath.c_str(), APPEND_ACCESS | FILE_WRITE_ATTRIBUTES, OPEN_EXISTING,
                                      ELinkPolicy::REFUSE_LINKS, &wstrFinalPath);
                if (hFile.IsValid())
                {
                    SetNormalAttributes(hFile.Get());
                    return uiLength == 0 || WriteUnderAppendLock(hFile.Get(), pData, uiLength, lockBudget,
                                                                 EAppendStart::ON_A_FRESH_LINE);
                }
            }

            // Else the root may be missing, or relocated by a link of the system's
            // owner. Below it each folder is held, created when missing, before the
            // next is looked at, and must be where its name says: the reparse
            // attribute shows a link on Windows, but Wine follows a link even when
            // asked to open the link itself, and only the final path shows it.
            const SString strSeparator = "\\";
            std::vector<SString> parts;
            NormalizeSeparators(strRelativePath).SplitInto(strSeparator, parts); // at least one part
            EnsureParentFolders(CombinePath(strRoot, parts[0]));
            WString wstrFinalPath = GetFolderFinalPath(strRoot);
            if (wstrFinalPath.empty())
                return false;
            std::vector<CScopedKernelHandle> heldFolders;
            SString strFolder = strRoot;
            for (std::size_t uiPart = 0; uiPart + 1 < parts.size(); ++uiPart)
            {
                strFolder = CombinePath(strFolder, parts[uiPart]);
                wstrFinalPath += WIDE_PATH_SEPARATOR + Utf8ToWide(parts[uiPart]);
                CScopedKernelHandle hFolder = HoldFolder(strFolder);
                if (!hFolder.IsValid() || !HasFinalPath(hFolder.Get(), wstrFinalPath))
                    return false;
                heldFolders.push_back(std::move(hFolder));
            }
            wstrFinalPath += WIDE_PATH_SEPARATOR + Utf8ToWide(parts.back());
            return AppendAtFinalPath(strPath, wstrFinalPath, pData, uiLength, lockBudget);
        },
        [] { return false; });
}

CScopedKernelHandle HoldFolder(const SString& strPath)
{
    return FailOnOutOfMemory(
        [&]
        {
            const WString wstrPath = Utf8ToWide(strPath);
            if (wstrPath.empty())
                return CScopedKernelHandle();
            // Creating fails harmlessly where the name is taken, by a folder (maybe
            // made by another writer just now) or by a link; the open tells them apart.
            for (bool bCreated = false;; bCreated = true)
            {
                CScopedKernelHandle hFolder(
                    CreateFileW(wstrPath.c_str(), FILE_READ_ATTRIBUTES, SHARE_ALL_BUT_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
                if (hFolder.IsValid())
                {
                    const DWORD dwAttributes = QueryOwnAttributes(hFolder.Get());
                    const bool bPlainFolder =
                        dwAttributes != INVALID_FILE_ATTRIBUTES &&
                        (dwAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
                            FILE_ATTRIBUTE_DIRECTORY;
                    return bPlainFolder ? std::move(hFolder) : CScopedKernelHandle();
                }
                if (bCreated || GetLastError() != ERROR_FILE_NOT_FOUND)
                    return CScopedKernelHandle();
                CreateDirectoryW(wstrPath.c_str(), nullptr);
            }
        },
        [] { return CScopedKernelHandle(); });
}

} // namespace SharedUtil
