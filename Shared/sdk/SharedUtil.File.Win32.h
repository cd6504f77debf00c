#pragma once

#include "SharedUtil.File.h"
#include "SharedUtil.ScopedHandle.Win32.h"
#include "SharedUtil.Windows.h"

// Windows-only parts of the file utilities that tests reach directly.
namespace SharedUtil
{
// The errno that OpenFileChecked reports for a failed CreateFileW.
int ErrnoFromWin32Error(DWORD uiError);

// Opens a folder, creating it when missing, and holds it: while the handle
// lives, the folder cannot be renamed, removed or replaced. Invalid when the
// folder cannot be had or its name is a reparse point (a junction, a symbolic
// link); nothing is created or changed through such a link.
CScopedKernelHandle HoldFolder(const SString& strPath);

// How long AppendToFile waits for another writer's append lock before the
// bytes are given up.
constexpr DWORD APPEND_LOCK_WAIT_MS = 2000;
} // namespace SharedUtil
