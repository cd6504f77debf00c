#pragma once

#include <cstdint>

#include "SString.h"
#include "SharedUtil.Encoding.h"
#include "SharedUtil.ScopedHandle.Win32.h"
#include "SharedUtil.Windows.h"

// Writing where others may have put a link: the checked open up to the
// handle, held folders, the append lock and the appends built on them.
// Nothing here throws; running out of memory fails a call as any other
// failure does (FailOnOutOfMemory).
namespace SharedUtil
{
// Creates every missing folder above the file; the last component is the file
// name and is never created. Failures are ignored; nothing is returned.
void EnsureParentFolders(const SString& strFilePath);

// What a process, or one append, may still spend waiting for an append lock,
// in milliseconds. Each pause for the lock spends what it took, at least
// APPEND_LOCK_RETRY_MS, so that a clock that reads a pause as nothing cannot
// stretch the wait.
class CLockWaitBudget
{
public:
    explicit constexpr CLockWaitBudget(uint32_t uiMs) : m_uiRemainingMs(uiMs) {}

    uint32_t GetRemainingMs() const { return m_uiRemainingMs; }
    void Spend(uint32_t uiMs) { m_uiRemainingMs -= uiMs < m_uiRemainingMs ? uiMs : m_uiRemainingMs; }

private:
    uint32_t m_uiRemainingMs;
};

// Appends the bytes in binary with one write at the end of the file, under
// the file's append lock: writers that take it (every AppendToFile, in any
// process) never interleave, and no writer's bytes are written over. The
// bytes go in whole or not at all: what a short write (a full disk, a quota)
// put in is cut off again while the lock is still held. With bResetAttributes,
// read-only, hidden and system marks are cleared first. True when every byte
// was written; a length of 0 only creates the file. False on any failure,
// and when the append lock is not had in time (APPEND_LOCK_STALL_MS).
bool AppendToFile(const SString& strPath, const void* pData, uint32_t uiLength, bool bResetAttributes);

// AppendToFile with the attribute reset, for lines of a file that others
// share, to strRoot\strRelativePath where others may have put a link in
// place of a folder below strRoot or of the file: missing folders below the
// root (and the root) are created, and nothing is created, reset or written
// when a folder below the root or the file is a link (a junction, a symbolic
// link, a second hard link to the file) or is not where its name says below
// the root's own final path. The root itself may be a link. The bytes start
// on a line of their own: after a line that a writer could not cut back, a
// line feed goes first. The append waits at most APPEND_LOCK_STALL_MS, and
// no longer than lockBudget holds, for an append lock held while the file
// does not move; a wait that ends without the lock is taken from lockBudget.
// False on any failure.
bool AppendBelowFolder(const SString& strRoot, const SString& strRelativePath, const void* pData, uint32_t uiLength,
                       CLockWaitBudget& lockBudget);

// Opens a folder, creating it when missing, and holds it: while the handle
// lives, the folder cannot be renamed, removed or replaced. Invalid when the
// folder cannot be had or its name is a reparse point (a junction, a symbolic
// link); nothing is created or changed through such a link.
CScopedKernelHandle HoldFolder(const SString& strPath);

// What the checked open refuses besides its path rules.
enum class ELinkPolicy
{
    FOLLOW_LINKS,
    // Not the name itself when it is a reparse point (a symbolic link, a
    // junction), and no file with more than one name.
    REFUSE_LINKS,
};

// The checked open up to the handle, on which the appends and OpenFileChecked
// build: our path rules, disk files only, no files on network shares; with
// pwstrFinalPath, only the file whose final path that is. On failure an
// invalid handle, with errno set: EINVAL for a path refused or that cannot be
// converted (memory running out included), else as ErrnoFromWin32Error maps
// the open's error, or EACCES for what the checks refuse.
CScopedKernelHandle OpenHandleChecked(const char* szPath, DWORD dwAccess, DWORD dwDisposition, ELinkPolicy eLinks,
                                      const WString* pwstrFinalPath = nullptr);

// The append lock that AppendToFile holds around its one write: an exclusive
// byte-range lock (LockFileEx) on this one byte, far past any data a file will
// hold. Every writer that appends to a shared file takes it. Windows enforces
// byte-range locks on reads and writes, so a lock over the data would make
// readers, and writers that take no lock, fail while it is held; this byte is
// in nobody's way but that of the writers that ask for it.
constexpr uint64_t APPEND_LOCK_OFFSET = 0x7FFFFFFFFFFFFFFEull;
constexpr DWORD APPEND_LOCK_BYTES = 1;

// How long one append waits on end for the append lock while the file does
// not move: writers hold the lock for one write, and take turns; a lock held
// that long with nothing written is held by a writer that hangs, or by
// someone who locked the whole file to hold up everyone who writes to it.
constexpr uint32_t APPEND_LOCK_STALL_MS = 100;
// How long one append waits for the append lock in all, while other writers
// keep writing.
constexpr uint32_t APPEND_LOCK_WAIT_MS = 2000;
// Pause between two tries for a lock that another writer holds.
constexpr uint32_t APPEND_LOCK_RETRY_MS = 1;
} // namespace SharedUtil
