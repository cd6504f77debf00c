#pragma once

#include "SString.h"
#include "SharedUtil.FileMode.h"
#include "SharedUtil.FilePath.h"

// The file layer on UTF-8 paths: here the existence tests of every platform,
// with the path rules and open modes; the Windows-only operations in
// SharedUtil.FileAppend.Win32.h, SharedUtil.FileOpen.Win32.h and
// SharedUtil.PathQuery.Win32.h. Nothing in it throws: each declaration says
// how it fails (false, an empty or unchanged text, errno).
namespace SharedUtil
{
// Existence tests; any error (running out of memory too) answers false.
// Natively they follow symbolic links; on Windows a link answers as itself (a
// folder link is a folder).
bool IsExistingDirectory(const SString& strPath);
bool IsExistingFile(const SString& strPath);
} // namespace SharedUtil
