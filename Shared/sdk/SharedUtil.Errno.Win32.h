#pragma once

#include "SharedUtil.Windows.h"

namespace SharedUtil
{
// The errno that stands for a Win32 error of a file call, for every function
// of the file layer that reports its failures through errno; EIO for an error
// with no nearer meaning.
int ErrnoFromWin32Error(DWORD uiError);
} // namespace SharedUtil
