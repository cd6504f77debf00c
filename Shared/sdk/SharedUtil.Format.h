#pragma once

// The seam for "{}"-style formatting, in the standard library's syntax for
// the part the launcher's messages use: texts and integers, each as "{}" or
// "{:[[fill]align][0][width][type]}" with align '<', '>' or '^' and type 's'
// (texts), 'd', 'x' or 'X' (integers); "{{" and "}}" are braces. The format is
// checked against the arguments at compile time, as std::format does. Nothing
// here formats floating point or consults a locale, which keeps that code of
// the C++ runtime out of the launcher's image. A toolchain with std::format
// can take its place behind FormatBraces.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

#include "SString.h"

namespace SharedUtil
{
namespace FormatDetail
{
// A width is at most this many digits, so parsing it cannot overflow.
constexpr std::size_t MAX_WIDTH_DIGITS = 4;

enum class EArgKind
{
    TEXT,
    INTEGER,
};

struct SFormatSpec
{
    char cFill = ' ';
    char cAlign = '\0'; // '\0': texts to the left, integers to the right
    bool bZeroPad = false;
    uint32_t uiWidth = 0;
    char cType = '\0';
};

// One argument as the formatter sees it: a text, or an integer as sign and magnitude.
struct SFormatArg
{
    EArgKind kind;
    std::string_view svText;
    bool bNegative;
    uint64_t ullMagnitude;
};

constexpr bool IsAlign(char c)
{
    return c == '<' || c == '>' || c == '^';
}

// The text between ':' and '}' of one placeholder; false when it is not of the form above.
constexpr bool ParseSpec(std::string_view svSpec, SFormatSpec& spec)
{
    std::size_t uiPos = 0;
    if (svSpec.size() >= 2 && IsAlign(svSpec[1]) && svSpec[0] != '{' && svSpec[0] != '}')
    {
        spec.cFill = svSpec[0];
        spec.cAlign = svSpec[1];
        uiPos = 2;
    }
    else if (!svSpec.empty() && IsAlign(svSpec[0]))
    {
        spec.cAlign = svSpec[0];
        uiPos = 1;
    }
    if (uiPos < svSpec.size() && svSpec[uiPos] == '0')
    {
        spec.bZeroPad = true;
        ++uiPos;
    }
    const std::size_t uiWidthStart = uiPos;
    while (uiPos < svSpec.size() && svSpec[uiPos] >= '0' && svSpec[uiPos] <= '9')
    {
        if (uiPos - uiWidthStart == MAX_WIDTH_DIGITS)
            return false;
        spec.uiWidth = spec.uiWidth * 10 + static_cast<uint32_t>(svSpec[uiPos] - '0');
        ++uiPos;
    }
    if (uiPos < svSpec.size())
        spec.cType = svSpec[uiPos++];
    return uiPos == svSpec.size();
}

constexpr bool SpecFits(const SFormatSpec& spec, EArgKind kind)
{
    if (kind == EArgKind::TEXT)
        return !spec.bZeroPad && (spec.cType == '\0' || spec.cType == 's');
    return spec.cType == '\0' || spec.cType == 'd' || spec.cType == 'x' || spec.cType == 'X';
}

// True when the format is well formed and has one fitting placeholder per argument.
constexpr bool CheckFormat(std::string_view svFormat, const EArgKind* pKinds, std::size_t uiCount)
{
    std::size_t uiArg = 0;
    for (std::size_t i = 0; i < svFormat.size(); ++i)
    {
        if (svFormat[i] == '}')
        {
            if (i + 1 == svFormat.size() || svFormat[i + 1] != '}')
                return false;
            ++i;
            continue;
        }
        if (svFormat[i] != '{')
            continue;
        if (i + 1 < svFormat.size() && svFormat[i + 1] == '{')
        {
            ++i;
            continue;
        }
        const std::size_t uiClose = svFormat.find('}', i);
        if (uiClose == std::string_view::npos || uiArg == uiCount)
            return false;
        std::string_view svInside = svFormat.substr(i + 1, uiClose - i - 1);
        SFormatSpec spec;
        if (!svInside.empty() && (svInside[0] != ':' || !ParseSpec(svInside.substr(1), spec)))
            return false;
        if (!SpecFits(spec, pKinds[uiArg++]))
            return false;
        i = uiClose;
    }
    return uiArg == uiCount;
}

template <typename T> constexpr EArgKind KindOf()
{
    if constexpr (std::is_integral_v<T>)
    {
        static_assert(!std::is_same_v<T, bool> && !std::is_same_v<T, char>,
                      "format bool and char arguments as texts or integers explicitly");
        return EArgKind::INTEGER;
    }
    else
    {
        static_assert(std::is_convertible_v<const T&, std::string_view>, "\"{}\" arguments are texts and integers");
        return EArgKind::TEXT;
    }
}

template <typename T> SFormatArg MakeArg(const T& value)
{
    if constexpr (std::is_integral_v<T>)
    {
        const uint64_t ullValue = static_cast<uint64_t>(value);
        if constexpr (std::is_signed_v<T>)
        {
            if (value < 0)
                return {EArgKind::INTEGER, {}, true, 0 - ullValue};
        }
        return {EArgKind::INTEGER, {}, false, ullValue};
    }
    else
        return {EArgKind::TEXT, std::string_view(value), false, 0};
}

// Reached in a constant expression only for a format that does not fit its
// arguments; being no constant expression, it makes the compiler say so.
inline void FormatDoesNotFitItsArguments() {}

void AppendFormatted(std::string& strOut, std::string_view svFormat, const SFormatArg* pArgs);
} // namespace FormatDetail

// A format text checked at compile time against the argument types.
template <typename... Args> class CFormatText
{
public:
    template <typename T>
    requires std::is_convertible_v<const T&, std::string_view>
    consteval CFormatText(const T& text) : m_svText(text)
    {
        constexpr FormatDetail::EArgKind kinds[] = {FormatDetail::KindOf<Args>()..., FormatDetail::EArgKind::TEXT};
        if (!FormatDetail::CheckFormat(m_svText, kinds, sizeof...(Args)))
            FormatDetail::FormatDoesNotFitItsArguments();
    }

    std::string_view Get() const { return m_svText; }

private:
    std::string_view m_svText;
};

template <typename... Args>
SString FormatBraces(std::type_identity_t<CFormatText<std::remove_cvref_t<Args>...>> fmtText, const Args&... args)
{
    const FormatDetail::SFormatArg formatArgs[] = {FormatDetail::MakeArg(args)..., {}};
    SString strResult;
    FormatDetail::AppendFormatted(strResult, fmtText.Get(), formatArgs);
    return strResult;
}
} // namespace SharedUtil
