#pragma once

#include "SString.h"

namespace TestSupport
{
// UTF-8 source text (u8"...") as the bytes of an SString.
inline SString Utf8(const char8_t* szText)
{
    return SString(reinterpret_cast<const char*>(szText));
}
} // namespace TestSupport
