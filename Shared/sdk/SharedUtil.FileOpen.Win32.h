#pragma once

#include <cstdio>

#include "SharedUtil.Windows.h"

namespace SharedUtil
{
// fopen with our path rules: refuses what IsPermittedFilePath refuses,
// anything that is not a file on a local disk, and files on network shares.
// On failure returns null with errno set: EINVAL for a mode or path refused,
// else as OpenHandleChecked sets it, or what the C runtime set.
FILE* OpenFileChecked(const char* szPath, const char* szMode);
} // namespace SharedUtil
