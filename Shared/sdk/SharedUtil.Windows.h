#pragma once

// The only way <windows.h> comes into this project. Portable files never
// include this header.
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
