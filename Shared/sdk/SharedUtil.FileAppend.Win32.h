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

// Appends the bytes in binary with one write at the end of the file, under
// the file's append lock: writers that take it (every AppendToFile, in any
// process) never interleave, and no writer's bytes are written over. With
// bResetAttributes, read-only, hidden and system marks are cleared first.
// True when every byte was written; a length of 0 only creates the file.
// False on any failure.
bool AppendToFile(const SString& strPath, const void* pData, uint32_t uiLength, bool bResetAttributes);

// AppendToFile with the attribute reset, to strRoot\strRelativePath where
// others may have put a link in place of a folder below strRoot or of the
// file: missing folders below the root (and the root) are created, and
// nothing is created, reset or written when a folder below the root or the
// file is a link (a junction, a symbolic link, a second hard link to the
// file) or is not where its name says below the root's own final path. The
// root itself may be a link. False on any failure.
bool AppendBelowFolder(const SString& strRoot, const SString& strRelativePath, const void* pData, uint32_t uiLength);

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

// How long AppendToFile waits for another writer's append lock before the
// bytes are given up.
constexpr DWORD APPEND_LOCK_WAIT_MS = 2000;
} // namespace SharedUtil
