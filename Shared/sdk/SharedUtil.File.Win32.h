#pragma once

#include <cstdint>
#include <cstdio>

#include "SharedUtil.File.h"
#include "SharedUtil.ScopedHandle.Win32.h"
#include "SharedUtil.Windows.h"

// The Windows-only parts of the file utilities of SharedUtil.File.h.
namespace SharedUtil
{
// Creates every missing folder above the file; the last component is the file
// name and is never created. Failures are ignored.
void EnsureParentFolders(const SString& strFilePath);

// Appends the bytes in binary with one write at the end of the file, under
// the file's append lock: writers that take it (every AppendToFile, in any
// process) never interleave, and no writer's bytes are written over. With
// bResetAttributes, read-only, hidden and system marks are cleared first.
// True when every byte was written; a length of 0 only creates the file.
bool AppendToFile(const SString& strPath, const void* pData, uint32_t uiLength, bool bResetAttributes);

// fopen with our path rules: refuses what IsPermittedFilePath refuses,
// anything that is not a file on a local disk, and files on network shares.
// On failure returns null with errno set.
FILE* OpenFileChecked(const char* szPath, const char* szMode);

// The all-users application-data folder, in its long form; empty on failure.
SString GetAllUsersAppDataPath();

// The long form of a path with 8.3 names; the input unchanged on failure.
SString GetLongPathForm(const SString& strPath);

// The text with its %VAR% references expanded; unexpanded when the expansion
// fails or would be larger than MAX_EXPANDED_UNITS wide characters.
constexpr uint32_t MAX_EXPANDED_UNITS = 0x80000;
SString ExpandEnvironmentText(const wchar_t* szText);

// The errno that OpenFileChecked reports for a failed CreateFileW.
int ErrnoFromWin32Error(DWORD uiError);

// AppendToFile with the attribute reset, to strRoot\strRelativePath where
// others may have put a link in place of a folder below strRoot or of the
// file: missing folders below the root (and the root) are created, and
// nothing is created, reset or written when a folder below the root or the
// file is a link (a junction, a symbolic link, a second hard link to the
// file) or is not where its name says below the root's own final path. The
// root itself may be a link.
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
