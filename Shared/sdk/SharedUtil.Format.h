#pragma once

// The seam for "{}"-style formatting: {fmt} today, std::format on a toolchain
// whose standard library has it (swap the include and the alias). The build
// configures {fmt} without floating point and without locales (see
// cmake/ThirdParty.cmake): the launcher formats only texts and integers, and
// that code would otherwise take most of its image.
#include <fmt/format.h>

#include "SString.h"

namespace SharedUtil
{
namespace format_impl = fmt;

template <typename... Args> SString FormatBraces(format_impl::format_string<Args...> fmtText, Args&&... args)
{
    return SString(format_impl::format(fmtText, std::forward<Args>(args)...));
}
} // namespace SharedUtil

// Lets SString values be "{}" arguments like std::string.
template <> struct fmt::formatter<SString> : fmt::formatter<std::string>
{
};
