#pragma once

#include <cstddef>
#include <cstdint>

#include "SString.h"
#include "SharedUtil.Windows.h"

// Registry values read and written as text. Every value type is turned into
// text on reading; writing always stores REG_SZ. Failures read as the empty
// string and writes that fail are dropped.
namespace SharedUtil
{
// Values larger than this many bytes are not read.
constexpr uint32_t MAX_REGISTRY_VALUE_BYTES = 0x100000;

// Tries the 64-bit view, then the 32-bit view, then the process's default
// view. Null key path or value name count as empty: the root key itself, the
// key's default value.
SString ReadRegistryText(HKEY hRoot, const char* szSubKey, const char* szValueName);

// Several values of one key at once, each read as ReadRegistryText reads it,
// with the key opened once per view: uiCount names in, as many texts out.
void ReadRegistryTexts(HKEY hRoot, const char* szSubKey, const char* const* pszValueNames, SString* pstrOutTexts,
                       std::size_t uiCount);

// The same, in the process's default view alone: where WriteRegistryText
// writes.
SString ReadRegistryTextInDefaultView(HKEY hRoot, const char* szSubKey, const char* szValueName);

// Creates the key path when missing and stores the text as REG_SZ in the
// process's default view.
void WriteRegistryText(HKEY hRoot, const char* szSubKey, const char* szValueName, const SString& strValue);

} // namespace SharedUtil
