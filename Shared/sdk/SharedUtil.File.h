#pragma once

#include "SString.h"
#include "SharedUtil.FileMode.h"
#include "SharedUtil.FilePath.h"

// File and folder operations on UTF-8 paths. Nothing here throws: failures
// come back as false, an empty or unchanged text, or a null stream with errno.
namespace SharedUtil
{
// Existence tests; any error (running out of memory too) answers false. Natively they follow symbolic
// links; on Windows a link answers as itself (a folder link is a folder).
bool IsExistingDirectory(const SString& strPath);
bool IsExistingFile(const SString& strPath);
} // namespace SharedUtil
