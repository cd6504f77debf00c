#pragma once

#include <cstdint>

#include "SString.h"
#include "SharedUtil.Windows.h"

// The running executable's own file.
namespace SharedUtil
{
// The wide buffer for the module file name starts at this many characters and
// doubles while the name does not fit, up to the longest path Windows knows.
constexpr uint32_t MODULE_PATH_INITIAL_UNITS = 512;
constexpr uint32_t MODULE_PATH_MAX_UNITS = 32768;

// The full path of the executable file, UTF-8, computed on first use and kept
// for the life of the process (also when it came out empty). Thread-safe.
SString GetExecutablePath();

// LoadLibraryExW of a module by its full path.
HMODULE LoadModule(const wchar_t* wszPath, DWORD dwFlags);
} // namespace SharedUtil
