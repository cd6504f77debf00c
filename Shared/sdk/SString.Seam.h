#pragma once

#include <cstdarg>
#include <cstddef>

// The one C-library call behind SString's formatting, replaceable so that tests
// can make it fail the way the C library may. Shipping code never replaces it.
namespace SharedUtil
{
// vsnprintf's contract: returns the full length of the text, negative on failure.
using FormatPassFunction = int (*)(char* szBuffer, std::size_t uiBufferSize, const char* szFormat, va_list vlArgs);

// Installs pFunction (null: the C library's vsnprintf) and returns the one before.
FormatPassFunction SetFormatPassFunction(FormatPassFunction pFunction);
} // namespace SharedUtil
