#pragma once

#include <cstdint>

#include "SString.h"
#include "SharedUtil.Windows.h"

namespace SharedUtil
{
// The system's text for an error code (a GetLastError value) in the user's
// default language. bStripLineBreaks removes every CR and LF, joining lines
// without a space; bWithCode gives "Error <code>: <text>". A code the system
// has no text for gives an empty text part.
SString DescribeSystemError(uint32_t uiErrorCode, bool bStripLineBreaks, bool bWithCode);
} // namespace SharedUtil
