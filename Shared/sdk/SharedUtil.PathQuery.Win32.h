#pragma once

#include <cstdint>

#include "SString.h"
#include "SharedUtil.Windows.h"

// Paths and path texts as the system knows them: its folders, the long form
// of a path, environment references. None of these fails towards its caller:
// each says what it gives instead, and gives an empty text where memory runs
// out. None sets errno.
namespace SharedUtil
{
// The all-users application-data folder, in its long form; empty on failure.
SString GetAllUsersAppDataPath();

// The long form of a path with 8.3 names; the input unchanged on failure.
SString GetLongPathForm(const SString& strPath);

// The text with its %VAR% references expanded; unexpanded when the expansion
// fails or would be larger than MAX_EXPANDED_UNITS wide characters; empty for
// no text.
constexpr uint32_t MAX_EXPANDED_UNITS = 0x80000;
SString ExpandEnvironmentText(const wchar_t* szText);
} // namespace SharedUtil
