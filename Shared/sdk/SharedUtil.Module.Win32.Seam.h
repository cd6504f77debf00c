#pragma once

#include <cstdint>

#include "SString.h"
#include "SharedUtil.Windows.h"

// The system calls behind the executable path and the module loads,
// replaceable so that tests can play what a test run cannot produce: paths
// longer than the system lets a program be started from, and a system that
// refuses the safe search flags. Shipping code never replaces them.
namespace SharedUtil
{
// GetModuleFileNameW for the executable itself: characters written; the size
// itself, with the last error set, when the name was cut; 0 on failure.
using ModuleFileNameFunction = uint32_t (*)(wchar_t* pBuffer, uint32_t uiSize);

// GetFullPathNameW: with no buffer the size needed including the terminator,
// else the length written; 0 on failure.
using FullPathNameFunction = uint32_t (*)(const wchar_t* szPath, uint32_t uiSize, wchar_t* pBuffer);

// LoadLibraryExW.
using LibraryLoadFunction = HMODULE(WINAPI*)(LPCWSTR szPath, HANDLE hReserved, DWORD dwFlags);

// Each installs pFunction (null: the system call) and returns the one before.
ModuleFileNameFunction SetModuleFileNameFunction(ModuleFileNameFunction pFunction);
FullPathNameFunction SetFullPathNameFunction(FullPathNameFunction pFunction);
LibraryLoadFunction SetLibraryLoadFunction(LibraryLoadFunction pFunction);

// The executable path computed afresh through these calls, without the cache
// that GetExecutablePath fills once.
SString ReadExecutablePathForTesting();
} // namespace SharedUtil
