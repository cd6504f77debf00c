#pragma once

#include <cstdint>

#include "SString.h"

// The version the launcher is built as. Other modules of the client read the
// full text through the launcher's export GetLibQelVersion; inside the
// launcher the major.minor text names the versioned data folder and registry
// keys.
#ifdef _WIN32
#define SU_CDECL __cdecl
#else
#define SU_CDECL
#endif

namespace SharedUtil
{
constexpr int VERSION_MAJOR = 1;
constexpr int VERSION_MINOR = 7;
constexpr int VERSION_MAINTENANCE = 0;
constexpr int VERSION_TYPE = 1;
constexpr int VERSION_BUILD = 0;
constexpr int VERSION_REVISION = 0;

// Major and minor must stay one digit each: the major.minor text is cut from
// the tag by count.
constexpr const char* VERSION_TAG = "1.7n";
constexpr int32_t MAJOR_MINOR_VERSION_LENGTH = 3;

// "1.7": the first characters of the version tag.
SString GetMajorMinorVersion();

// Writes exactly uiSize bytes: the version text "1.7.0-1.00000.0", cut to
// uiSize - 1 bytes, then zeros to the end of the buffer. A size of 0 writes
// nothing. C linkage so that the launcher can export it under this name.
extern "C" void SU_CDECL GetLibQelVersion(char* pBuffer, uint32_t uiSize);
} // namespace SharedUtil
