#pragma once

#include "SharedUtil.File.h"
#include "SharedUtil.Windows.h"

// Windows-only parts of the file utilities that tests reach directly.
namespace SharedUtil
{
// The errno that OpenFileChecked reports for a failed CreateFileW.
int ErrnoFromWin32Error(DWORD uiError);

// The final-path query of OpenFileChecked, replaceable because Wine cannot
// open a file on a network share. Returns the query that was installed before;
// null restores the default, GetFinalPathNameByHandleW.
using FinalPathQuery = DWORD(WINAPI*)(HANDLE hFile, LPWSTR szPath, DWORD uiCapacity, DWORD uiFlags);
FinalPathQuery SetFinalPathQuery(FinalPathQuery pQuery);
} // namespace SharedUtil
