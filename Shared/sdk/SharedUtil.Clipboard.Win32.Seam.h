#pragma once

#include <cstddef>

#include "SharedUtil.Windows.h"

// The memory calls behind the clipboard text, replaceable because the system
// does not make them fail on demand. Shipping code never replaces them.
namespace SharedUtil
{
// GlobalAlloc, SetClipboardData and GlobalFree.
struct SClipboardMemoryCalls
{
    HGLOBAL (*pfnAlloc)(unsigned int uiFlags, std::size_t uiBytes);
    HANDLE (*pfnSetData)(unsigned int uiFormat, HANDLE hMemory);
    HGLOBAL (*pfnFree)(HGLOBAL hMemory);
};

// Installs the calls (a null member: the real call) and returns those before.
SClipboardMemoryCalls SetClipboardMemoryCalls(SClipboardMemoryCalls calls);
} // namespace SharedUtil
