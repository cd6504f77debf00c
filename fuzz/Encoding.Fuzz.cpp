// Utf8ToWide and WideToUtf8 against a plain reference model of the rules:
// the decoder stops at a zero byte and at the first invalid or incomplete
// sequence; the encoder writes a surrogate pair as one four-byte sequence and
// any other unit by itself. Every UTF-16 text without zero units survives the
// round trip, and so does every valid UTF-8 text.

#include "FuzzSupport.h"

#include "SharedUtil.Encoding.h"

#include <vector>

using FuzzSupport::CFuzzInput;
using FuzzSupport::Hex;
using SharedUtil::WString;

namespace
{
// Texts this long take the converters' appending path, which works in pieces
// of about a thousand units: UTF-8 that long gives more than one piece.
constexpr std::size_t LONG_UTF8_BYTES = 2 * SharedUtil::STACK_CONVERT_LIMIT + 100;
constexpr std::size_t LONG_UTF16_UNITS = SharedUtil::STACK_CONVERT_LIMIT + 100;
// The long texts cost fifty times more than the input itself, so one input
// in 32 (by its first byte) is also checked repeated.
constexpr uint8_t LONG_FLAGS_MASK = 0x1F;

using Units = std::vector<uint16_t>;

struct SDecoded
{
    Units units;
    std::size_t uiConsumed = 0;  // bytes of the input that were decoded
    bool bSurrogateSeen = false; // a three-byte sequence held a surrogate
};

// The decoding rules spelt out by code point: the sequence's length from its
// first byte, the smallest code point each length may carry (so no overlong
// forms), nothing above U+10FFFF, and a pair for anything above U+FFFF.
SDecoded ModelDecode(const std::string& strBytes)
{
    SDecoded decoded;
    std::size_t i = 0;
    while (i < strBytes.size())
    {
        const uint8_t b0 = static_cast<uint8_t>(strBytes[i]);
        if (b0 == 0)
            break;
        std::size_t uiLength = 0;
        uint32_t uiCodePoint = 0;
        uint32_t uiSmallest = 0;
        if (b0 < 0x80)
        {
            uiLength = 1;
            uiCodePoint = b0;
        }
        else if (b0 >= 0xC0 && b0 < 0xE0)
        {
            uiLength = 2;
            uiCodePoint = b0 & 0x1F;
            uiSmallest = 0x80;
        }
        else if (b0 >= 0xE0 && b0 < 0xF0)
        {
            uiLength = 3;
            uiCodePoint = b0 & 0x0F;
            uiSmallest = 0x800;
        }
        else if (b0 >= 0xF0 && b0 < 0xF8)
        {
            uiLength = 4;
            uiCodePoint = b0 & 0x07;
            uiSmallest = 0x10000;
        }
        else
        {
            break; // a continuation byte, or a five- or six-byte lead, FE, FF
        }
        if (strBytes.size() - i < uiLength)
            break;
        bool bContinued = true;
        for (std::size_t k = 1; k < uiLength; ++k)
        {
            const uint8_t b = static_cast<uint8_t>(strBytes[i + k]);
            bContinued = bContinued && (b & 0xC0) == 0x80;
            uiCodePoint = (uiCodePoint << 6) | (b & 0x3F);
        }
        if (!bContinued || uiCodePoint < uiSmallest || uiCodePoint > 0x10FFFF)
            break;
        if (uiCodePoint >= 0x10000)
        {
            decoded.units.push_back(static_cast<uint16_t>(0xD800 + ((uiCodePoint - 0x10000) >> 10)));
            decoded.units.push_back(static_cast<uint16_t>(0xDC00 + ((uiCodePoint - 0x10000) & 0x3FF)));
        }
        else
        {
            decoded.units.push_back(static_cast<uint16_t>(uiCodePoint));
            decoded.bSurrogateSeen = decoded.bSurrogateSeen || (uiCodePoint >= 0xD800 && uiCodePoint <= 0xDFFF);
        }
        i += uiLength;
    }
    decoded.uiConsumed = i;
    return decoded;
}

bool IsHigh(uint16_t usUnit)
{
    return usUnit >= 0xD800 && usUnit <= 0xDBFF;
}

bool IsLow(uint16_t usUnit)
{
    return usUnit >= 0xDC00 && usUnit <= 0xDFFF;
}

void AppendCodePoint(std::string& strOut, uint32_t uiCodePoint)
{
    if (uiCodePoint < 0x80)
    {
        strOut += static_cast<char>(uiCodePoint);
    }
    else if (uiCodePoint < 0x800)
    {
        strOut += static_cast<char>(0xC0 | (uiCodePoint >> 6));
        strOut += static_cast<char>(0x80 | (uiCodePoint & 0x3F));
    }
    else if (uiCodePoint < 0x10000)
    {
        strOut += static_cast<char>(0xE0 | (uiCodePoint >> 12));
        strOut += static_cast<char>(0x80 | ((uiCodePoint >> 6) & 0x3F));
        strOut += static_cast<char>(0x80 | (uiCodePoint & 0x3F));
    }
    else
    {
        strOut += static_cast<char>(0xF0 | (uiCodePoint >> 18));
        strOut += static_cast<char>(0x80 | ((uiCodePoint >> 12) & 0x3F));
        strOut += static_cast<char>(0x80 | ((uiCodePoint >> 6) & 0x3F));
        strOut += static_cast<char>(0x80 | (uiCodePoint & 0x3F));
    }
}

std::string ModelEncode(const Units& units)
{
    std::string strOut;
    for (std::size_t i = 0; i < units.size(); ++i)
    {
        if (IsHigh(units[i]) && i + 1 < units.size() && IsLow(units[i + 1]))
        {
            AppendCodePoint(strOut, 0x10000 + ((units[i] - 0xD800u) << 10) + (units[i + 1] - 0xDC00u));
            ++i;
        }
        else
        {
            AppendCodePoint(strOut, units[i]);
        }
    }
    return strOut;
}

WString ToWide(const Units& units)
{
    return WString(units.begin(), units.end());
}

Units FromWide(const WString& wstrText)
{
    Units units;
    for (wchar_t wc : wstrText)
        units.push_back(static_cast<uint16_t>(wc));
    return units;
}

std::string HexUnits(const Units& units)
{
    std::string strBytes;
    for (uint16_t usUnit : units)
    {
        strBytes += static_cast<char>(usUnit >> 8);
        strBytes += static_cast<char>(usUnit & 0xFF);
    }
    return Hex(strBytes);
}

void CheckUtf8Input(const SString& strBytes)
{
    const SDecoded expected = ModelDecode(strBytes);
    const Units units = FromWide(SharedUtil::Utf8ToWide(strBytes));
    FUZZ_CHECK(units == expected.units,
               "input " + Hex(strBytes) + "\ngot   " + HexUnits(units) + "\nmodel " + HexUnits(expected.units));

    // What was decoded comes back byte for byte, unless it spelt a surrogate
    // pair as two three-byte sequences, which come back as four bytes.
    const SString strBack = SharedUtil::WideToUtf8(ToWide(units));
    FUZZ_CHECK(strBack == ModelEncode(units), "units " + HexUnits(units) + "\ngot " + Hex(strBack));
    if (!expected.bSurrogateSeen)
    {
        const std::string strDecoded = strBytes.substr(0, expected.uiConsumed);
        FUZZ_CHECK(strBack == strDecoded, "decoded " + Hex(strDecoded) + "\nback    " + Hex(strBack));
    }
}

void CheckUtf16Input(const Units& units)
{
    const WString wstrText = ToWide(units);
    const SString strUtf8 = SharedUtil::WideToUtf8(wstrText);
    const std::string strModel = ModelEncode(units);
    FUZZ_CHECK(strUtf8 == strModel,
               "units " + HexUnits(units) + "\ngot   " + Hex(strUtf8) + "\nmodel " + Hex(strModel));

    // Every unit comes back, up to the first zero unit, where decoding ends.
    Units untilZero;
    for (uint16_t usUnit : units)
    {
        if (usUnit == 0)
            break;
        untilZero.push_back(usUnit);
    }
    const Units back = FromWide(SharedUtil::Utf8ToWide(strUtf8));
    FUZZ_CHECK(back == untilZero, "units " + HexUnits(units) + "\nback  " + HexUnits(back));
    FUZZ_CHECK(SharedUtil::WideToUtf8(wstrText.c_str()) == SharedUtil::WideToUtf8(ToWide(untilZero)),
               "units " + HexUnits(units));

    // Well-formed UTF-16 gives UTF-8 that a strict reader takes whole.
    bool bWellFormed = untilZero.size() == units.size();
    for (std::size_t i = 0; i < units.size() && bWellFormed; ++i)
    {
        if (IsHigh(units[i]) && i + 1 < units.size() && IsLow(units[i + 1]))
            ++i;
        else if (IsHigh(units[i]) || IsLow(units[i]))
            bWellFormed = false;
    }
    if (bWellFormed)
    {
        const SDecoded strict = ModelDecode(strUtf8);
        FUZZ_CHECK(strict.uiConsumed == strUtf8.size() && !strict.bSurrogateSeen,
                   "units " + HexUnits(units) + "\nutf-8 " + Hex(strUtf8));
    }
}

Units AsUnits(const std::string& strBytes)
{
    Units units;
    for (std::size_t i = 0; i + 1 < strBytes.size(); i += 2)
        units.push_back(
            static_cast<uint16_t>(static_cast<uint8_t>(strBytes[i]) | (static_cast<uint8_t>(strBytes[i + 1]) << 8)));
    return units;
}

// The text repeated until it is long enough for the appending path.
template <typename Text> Text Repeated(const Text& text, std::size_t uiMinimum)
{
    Text repeated;
    while (!text.empty() && repeated.size() < uiMinimum)
        repeated.insert(repeated.end(), text.begin(), text.end());
    return repeated;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, std::size_t uiSize)
{
    CFuzzInput input(pData, uiSize);
    const uint8_t ucFlags = input.Byte();
    const SString strBytes = input.Rest();

    CheckUtf8Input(strBytes);
    const Units units = AsUnits(strBytes);
    CheckUtf16Input(units);

    if ((ucFlags & LONG_FLAGS_MASK) == LONG_FLAGS_MASK)
    {
        CheckUtf8Input(Repeated(strBytes, LONG_UTF8_BYTES));
        CheckUtf16Input(Repeated(units, LONG_UTF16_UNITS));
    }
    return 0;
}
