#pragma once

#include <cstddef>

#include "SString.h"

// The rules about which paths the checked file open accepts. Pure text
// operations, the same on every platform.
namespace SharedUtil
{
// Longest path, in bytes, that the checked open accepts.
constexpr std::size_t MAX_PERMITTED_PATH_BYTES = 4096;

// False for empty or over-long paths, ".." components, a ":" anywhere but
// after a drive letter, the device and raw namespaces (\\.\, \\?\, \??\) and
// reserved device names.
bool IsPermittedFilePath(const char* szPath);

// True when the last component names a device (CON, PRN, AUX, NUL, COM1-9,
// LPT1-9, CONIN$, CONOUT$), whatever its extension and letter case.
bool IsReservedDeviceName(const char* szPath);
} // namespace SharedUtil
