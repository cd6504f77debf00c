#pragma once

#include <cstddef>

#include "SString.h"

namespace SharedUtil
{
// Units the clipboard block may hold, the terminating zero included.
constexpr std::size_t MAX_CLIPBOARD_TEXT_UNITS = 0x3200000;

// Replaces the clipboard's contents with the text as CF_UNICODETEXT. Reports
// nothing: the text is placed, or the call gives up without waiting when the
// clipboard is busy or memory runs out. An empty text leaves it untouched.
void CopyTextToClipboard(const SString& strText);

#ifdef _WIN32
// The calls whose failures the system does not produce on demand. Tests swap
// them for their own; the defaults are the real GlobalAlloc, SetClipboardData
// and GlobalFree. Handles are HGLOBAL / HANDLE.
struct SClipboardMemoryCalls
{
    void* (*pfnAlloc)(unsigned int uiFlags, std::size_t uiBytes);
    void* (*pfnSetData)(unsigned int uiFormat, void* hMemory);
    void* (*pfnFree)(void* hMemory);
};

// Returns the calls installed before; null members restore the real calls.
SClipboardMemoryCalls SetClipboardMemoryCalls(const SClipboardMemoryCalls& calls);
#endif
} // namespace SharedUtil
