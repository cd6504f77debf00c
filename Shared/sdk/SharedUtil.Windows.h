#pragma once

// The only way <windows.h> comes into this project. Every header with
// Windows-only declarations includes it, so a portable file that reaches for
// one fails to compile in the native build instead of failing to link.
#ifndef _WIN32
#error "Windows-only header included by portable code"
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0601 // Windows 7: the oldest system the manifest lists
#endif
#include <windows.h>
