#pragma once

#include <cstdint>
#include <string>

#include "SString.h"

// UTF-8 <-> UTF-16 without any platform call, and small byte-level helpers.
namespace SharedUtil
{
// The platform's wide string. On Windows its units are UTF-16; the native
// build keeps the same 16-bit unit values in its wider wchar_t.
using WString = std::wstring;

// Inputs shorter than this convert through a stack buffer, without heap
// traffic beyond the result itself.
constexpr std::size_t STACK_CONVERT_LIMIT = 1000;

WString Utf8ToWide(const SString& strText);
SString WideToUtf8(const WString& wstrText);
SString WideToUtf8(const wchar_t* pText);
SString BytesToHex(const void* pData, uint32_t uiLength);
WString MultiStringToLines(const wchar_t* pData, uint32_t uiUnits);
SString EscapeText(const SString& strText, const SString& strDisallowed, char cEscapeChar, uint8_t ucLowest = 0,
                   uint8_t ucHighest = 255);
SString UnescapeText(const SString& strText, char cEscapeChar);
} // namespace SharedUtil
