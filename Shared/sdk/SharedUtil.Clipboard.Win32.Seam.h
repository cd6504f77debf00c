#pragma once

#include <cstddef>

#include "SharedUtil.Windows.h"

// The memory calls behind the clipboard text, replaceable because the system
// does not make them fail on demand. Shipping code never replaces them.
namespace SharedUtil
{
using GlobalAllocFunction = HGLOBAL (*)(unsigned int uiFlags, std::size_t uiBytes);
using ClipboardDataFunction = HANDLE (*)(unsigned int uiFormat, HANDLE hMemory);
using GlobalFreeFunction = HGLOBAL (*)(HGLOBAL hMemory);

// Each installs pFunction (null: GlobalAlloc, SetClipboardData, GlobalFree)
// and returns the one before.
GlobalAllocFunction SetGlobalAllocFunction(GlobalAllocFunction pFunction);
ClipboardDataFunction SetClipboardDataFunction(ClipboardDataFunction pFunction);
GlobalFreeFunction SetGlobalFreeFunction(GlobalFreeFunction pFunction);
} // namespace SharedUtil
