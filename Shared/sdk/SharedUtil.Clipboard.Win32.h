#pragma once

#include <cstddef>

#include "SString.h"
#include "SharedUtil.Windows.h"

namespace SharedUtil
{
// Units the clipboard block may hold, the terminating zero included.
constexpr std::size_t MAX_CLIPBOARD_TEXT_UNITS = 0x3200000;

// Replaces the clipboard's contents with the text as CF_UNICODETEXT. Reports
// nothing: the text is placed, or the call gives up without waiting when the
// clipboard is busy or memory runs out. An empty text leaves it untouched.
void CopyTextToClipboard(const SString& strText);
} // namespace SharedUtil
