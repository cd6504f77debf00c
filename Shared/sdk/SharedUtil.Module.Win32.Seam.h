#pragma once

#include <cstdint>

#include "SString.h"
#include "SharedUtil.Windows.h"

// The two system calls behind the executable path, replaceable so that tests
// can play paths that a test run cannot produce (longer than the system lets a
// program be started from). Shipping code never replaces them.
namespace SharedUtil
{
// GetModuleFileNameW for the executable itself: characters written; the size
// itself, with the last error set, when the name was cut; 0 on failure.
using ModuleFileNameFunction = uint32_t (*)(wchar_t* pBuffer, uint32_t uiSize);

// GetFullPathNameW: with no buffer the size needed including the terminator,
// else the length written; 0 on failure.
using FullPathNameFunction = uint32_t (*)(const wchar_t* szPath, uint32_t uiSize, wchar_t* pBuffer);

// Each installs pFunction (null: the system call) and returns the one before.
ModuleFileNameFunction SetModuleFileNameFunction(ModuleFileNameFunction pFunction);
FullPathNameFunction SetFullPathNameFunction(FullPathNameFunction pFunction);

// The executable path computed afresh through these calls, without the cache
// that GetExecutablePath fills once.
SString ReadExecutablePathForTesting();
} // namespace SharedUtil
