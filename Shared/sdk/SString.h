#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

// The one text type: the standard byte string with printf-style formatting,
// splitting, slicing, replacing and trimming. UTF-8 by convention.
class SString : public std::string
{
public:
    // Slice's default length: to the end of any string this type can hold.
    static constexpr int32_t SLICE_TO_END = 0x3FFFFFFF;

    SString() = default;
    SString(const std::string& strText) : std::string(strText) {}
    SString(std::string&& strText) : std::string(std::move(strText)) {}
    // A null text is the empty string.
    SString(const char* szText) : std::string(szText ? szText : "") {}
    // Bytes with a known length, zero bytes included.
    explicit SString(std::string_view svText) : std::string(svText) {}
    // A (buffer, length) pair would be taken as a format with one value.
    SString(char* pText, std::size_t uiLength) = delete;

    // printf-style construction with one or more values; a null format gives
    // the empty string. A format without values selects the C-string
    // constructor above and is taken literally.
    template <typename... Values>
    requires(sizeof...(Values) > 0) explicit SString(const char* szFormat, Values... values)
    {
        static_assert((std::is_scalar_v<Values> && ...), "printf values are numbers and pointers: pass c_str()");
        SetFormatted(szFormat, values...);
    }

    SString& SetFormatted(const char* szFormat, ...) __attribute__((format(printf, 2, 3)));
    SString& SetFormattedV(const char* szFormat, va_list vlArgs);

    SString operator+(const SString& strOther) const;
    SString operator+(const char* szOther) const;

    bool SplitAt(const SString& strDelimiter, SString* pstrLeft, SString* pstrRight, int32_t iIndex = 1) const;
    SString PartAfter(const SString& strDelimiter, SString* pstrLeft = nullptr, int32_t iIndex = 1) const;
    void SplitInto(const SString& strDelimiter, std::vector<SString>& outParts, unsigned int uiMaxCount = 0,
                   unsigned int uiMinCount = 0) const;
    SString Slice(int32_t iStart, int32_t iLength = SLICE_TO_END) const;
    SString ReplaceAll(const char* szFind, const char* szWith, bool bRescan = false) const;
    SString StripTrailing(const char* szTail) const;
    bool StartsWithNoCase(const SString& strOther) const;
    bool EndsWithNoCase(const SString& strOther) const;
};

// Concatenation with a C string on the left.
SString operator+(const char* szLeft, const SString& strRight);
