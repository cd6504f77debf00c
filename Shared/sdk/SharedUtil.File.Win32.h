#pragma once

#include "SharedUtil.File.h"
#include "SharedUtil.ScopedHandle.Win32.h"
#include "SharedUtil.Windows.h"

// Windows-only parts of the file utilities that tests reach directly.
namespace SharedUtil
{
// The errno that OpenFileChecked reports for a failed CreateFileW.
int ErrnoFromWin32Error(DWORD uiError);

// AppendToFile with the attribute reset, to strRoot\strRelativePath where
// others may have put a link in place of a folder below strRoot or of the
// file: missing folders below the root (and the root) are created, and
// nothing is created, reset or written when a folder below the root or the
// file is a reparse point (a junction, a symbolic link).
bool AppendBelowFolder(const SString& strRoot, const SString& strRelativePath, const void* pData, uint32_t uiLength);

// Opens a folder, creating it when missing, and holds it: while the handle
// lives, the folder cannot be renamed, removed or replaced. Invalid when the
// folder cannot be had or its name is a reparse point (a junction, a symbolic
// link); nothing is created or changed through such a link.
CScopedKernelHandle HoldFolder(const SString& strPath);

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
