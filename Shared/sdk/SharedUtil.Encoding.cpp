#include "SharedUtil.Encoding.h"

#include <cstring>
#include <cwchar>

namespace SharedUtil
{
namespace
{
// A sequence above U+FFFF decodes to a surrogate pair.
constexpr std::size_t MAX_UNITS_PER_SEQUENCE = 2;
// A unit by itself encodes to at most three bytes; a surrogate pair takes
// four for its two units.
constexpr std::size_t MAX_BYTES_PER_UNIT = 3;
// The ASCII fast paths look at this many bytes or units at once.
constexpr std::size_t ASCII_BLOCK_BYTES = sizeof(uint64_t);
constexpr std::size_t ASCII_BLOCK_UNITS = 4;
constexpr uint64_t EACH_BYTE_ONE = 0x0101010101010101ULL;
constexpr uint64_t EACH_BYTE_HIGH_BIT = 0x8080808080808080ULL;

constexpr uint32_t UNIT_MASK = 0xFFFF;
constexpr uint32_t FIRST_SUPPLEMENTARY = 0x10000;
constexpr uint32_t LAST_CODE_POINT = 0x10FFFF;
constexpr uint32_t HIGH_SURROGATE_BASE = 0xD800;
constexpr uint32_t LOW_SURROGATE_BASE = 0xDC00;
constexpr uint32_t SURROGATE_PAYLOAD_BITS = 10;
constexpr uint32_t SURROGATE_PAYLOAD_MASK = 0x3FF;
constexpr uint32_t SURROGATE_KIND_MASK = 0xFC00;

// UTF-8 lead bytes, by the length of the sequence they start.
constexpr uint8_t ASCII_LIMIT = 0x80;
constexpr uint8_t FIRST_TWO_BYTE_LEAD = 0xC2;
constexpr uint8_t FIRST_THREE_BYTE_LEAD = 0xE0;
constexpr uint8_t FIRST_FOUR_BYTE_LEAD = 0xF0;
constexpr uint8_t FIRST_FIVE_BYTE_LEAD = 0xF8;
constexpr uint8_t TWO_BYTE_LEAD_PAYLOAD = 0x1F;
constexpr uint8_t THREE_BYTE_LEAD_PAYLOAD = 0x0F;
constexpr uint8_t FOUR_BYTE_LEAD_PAYLOAD = 0x07;
constexpr std::size_t TWO_BYTES = 2;
constexpr std::size_t THREE_BYTES = 3;
constexpr std::size_t FOUR_BYTES = 4;
// Below these second bytes, E0 and F0 would start overlong forms.
constexpr uint8_t E0_LOWEST_SECOND = 0xA0;
constexpr uint8_t F0_LOWEST_SECOND = 0x90;
constexpr uint32_t TWO_BYTE_LIMIT = 0x800;
constexpr uint8_t TWO_BYTE_TAG = 0xC0;
constexpr uint8_t FOUR_BYTE_TAG = 0xF0;

constexpr uint8_t CONTINUATION_MASK = 0xC0;
constexpr uint8_t CONTINUATION_TAG = 0x80;
constexpr uint8_t PAYLOAD_MASK = 0x3F;
constexpr uint32_t PAYLOAD_BITS = 6;

constexpr char HEX_DIGITS[] = "0123456789ABCDEF";
constexpr uint8_t NIBBLE_BITS = 4;
constexpr uint8_t NIBBLE_MASK = 0x0F;
constexpr uint8_t LAST_DECIMAL_DIGIT = 9;
constexpr uint8_t LAST_DECIMAL_CHAR = '9';
constexpr uint8_t DECIMAL_DIGIT_OFFSET = 0x30; // '0'
constexpr uint8_t LETTER_DIGIT_OFFSET = 0x37;  // 'A' - 10
constexpr unsigned int BYTE_MASK = 0xFF;
constexpr std::size_t ESCAPE_DIGIT_COUNT = 2;

constexpr wchar_t LINE_FEED = 0x0A;

bool IsContinuation(uint8_t ucByte)
{
    return (ucByte & CONTINUATION_MASK) == CONTINUATION_TAG;
}

// True when all eight bytes are ASCII and none is zero: a byte at or above
// 0x80 sets its own high bit, a zero byte borrows into it.
bool IsPlainAsciiBlock(uint64_t uiBlock)
{
    return ((uiBlock | (uiBlock - EACH_BYTE_ONE)) & EACH_BYTE_HIGH_BIT) == 0;
}

// Decodes from pIn into pOut until the text ends (end of input, a zero byte,
// an invalid or incomplete sequence) or until pOut has no room for another
// sequence. Returns true only in the latter case, when decoding can go on.
bool DecodeUtf8(const uint8_t*& pIn, const uint8_t* pEnd, wchar_t*& pOut, const wchar_t* pOutEnd)
{
    while (true)
    {
        while (static_cast<std::size_t>(pEnd - pIn) >= ASCII_BLOCK_BYTES &&
               static_cast<std::size_t>(pOutEnd - pOut) >= ASCII_BLOCK_BYTES)
        {
            uint64_t uiBlock;
            std::memcpy(&uiBlock, pIn, sizeof(uiBlock));
            if (!IsPlainAsciiBlock(uiBlock))
                break;
            for (std::size_t i = 0; i < ASCII_BLOCK_BYTES; ++i)
                pOut[i] = pIn[i];
            pIn += ASCII_BLOCK_BYTES;
            pOut += ASCII_BLOCK_BYTES;
        }

        if (pIn == pEnd || *pIn == 0)
            return false;
        if (static_cast<std::size_t>(pOutEnd - pOut) < MAX_UNITS_PER_SEQUENCE)
            return true;

        const uint8_t b0 = pIn[0];
        const std::size_t uiLeft = static_cast<std::size_t>(pEnd - pIn);
        if (b0 < ASCII_LIMIT)
        {
            *pOut++ = b0;
            ++pIn;
        }
        else if (b0 < FIRST_TWO_BYTE_LEAD)
        {
            // A stray continuation byte, or an overlong two-byte form.
            return false;
        }
        else if (b0 < FIRST_THREE_BYTE_LEAD)
        {
            if (uiLeft < TWO_BYTES || !IsContinuation(pIn[1]))
                return false;
            *pOut++ = static_cast<wchar_t>(((b0 & TWO_BYTE_LEAD_PAYLOAD) << PAYLOAD_BITS) | (pIn[1] & PAYLOAD_MASK));
            pIn += TWO_BYTES;
        }
        else if (b0 < FIRST_FOUR_BYTE_LEAD)
        {
            if (uiLeft < THREE_BYTES || !IsContinuation(pIn[1]) || !IsContinuation(pIn[2]))
                return false;
            // Surrogates are let through, so that any unit sequence survives
            // a round trip.
            if (b0 == FIRST_THREE_BYTE_LEAD && pIn[1] < E0_LOWEST_SECOND)
                return false;
            *pOut++ = static_cast<wchar_t>(((b0 & THREE_BYTE_LEAD_PAYLOAD) << (2 * PAYLOAD_BITS)) |
                                           ((pIn[1] & PAYLOAD_MASK) << PAYLOAD_BITS) | (pIn[2] & PAYLOAD_MASK));
            pIn += THREE_BYTES;
        }
        else if (b0 < FIRST_FIVE_BYTE_LEAD)
        {
            if (uiLeft < FOUR_BYTES || !IsContinuation(pIn[1]) || !IsContinuation(pIn[2]) || !IsContinuation(pIn[3]))
                return false;
            if (b0 == FIRST_FOUR_BYTE_LEAD && pIn[1] < F0_LOWEST_SECOND)
                return false;
            const uint32_t uiCodePoint = ((b0 & FOUR_BYTE_LEAD_PAYLOAD) << (3 * PAYLOAD_BITS)) |
                                         ((pIn[1] & PAYLOAD_MASK) << (2 * PAYLOAD_BITS)) |
                                         ((pIn[2] & PAYLOAD_MASK) << PAYLOAD_BITS) | (pIn[3] & PAYLOAD_MASK);
            // UTF-16 cannot carry more; cutting bits off would corrupt the text.
            if (uiCodePoint > LAST_CODE_POINT)
                return false;
            const uint32_t uiOffset = uiCodePoint - FIRST_SUPPLEMENTARY;
            *pOut++ = static_cast<wchar_t>(HIGH_SURROGATE_BASE + (uiOffset >> SURROGATE_PAYLOAD_BITS));
            *pOut++ = static_cast<wchar_t>(LOW_SURROGATE_BASE + (uiOffset & SURROGATE_PAYLOAD_MASK));
            pIn += FOUR_BYTES;
        }
        else
        {
            // Five- and six-byte forms lie above U+10FFFF; FE and FF never lead.
            return false;
        }
    }
}

bool IsHighSurrogate(uint32_t uiUnit)
{
    return (uiUnit & SURROGATE_KIND_MASK) == HIGH_SURROGATE_BASE;
}

bool IsLowSurrogate(uint32_t uiUnit)
{
    return (uiUnit & SURROGATE_KIND_MASK) == LOW_SURROGATE_BASE;
}

// A unit that is not half of a pair, lone surrogates included: those become
// three-byte sequences, which the decoder reads back as the same unit.
char* EncodeUnit(uint32_t uiUnit, char* pOut)
{
    if (uiUnit < ASCII_LIMIT)
    {
        *pOut++ = static_cast<char>(uiUnit);
    }
    else if (uiUnit < TWO_BYTE_LIMIT)
    {
        *pOut++ = static_cast<char>(TWO_BYTE_TAG | (uiUnit >> PAYLOAD_BITS));
        *pOut++ = static_cast<char>(CONTINUATION_TAG | (uiUnit & PAYLOAD_MASK));
    }
    else
    {
        *pOut++ = static_cast<char>(FIRST_THREE_BYTE_LEAD | (uiUnit >> (2 * PAYLOAD_BITS)));
        *pOut++ = static_cast<char>(CONTINUATION_TAG | ((uiUnit >> PAYLOAD_BITS) & PAYLOAD_MASK));
        *pOut++ = static_cast<char>(CONTINUATION_TAG | (uiUnit & PAYLOAD_MASK));
    }
    return pOut;
}

// A surrogate pair as the one four-byte sequence of its code point; two
// three-byte sequences (CESU-8) are refused by UTF-8 readers.
char* EncodePair(uint32_t uiHigh, uint32_t uiLow, char* pOut)
{
    const uint32_t uiCodePoint = FIRST_SUPPLEMENTARY + (((uiHigh & SURROGATE_PAYLOAD_MASK) << SURROGATE_PAYLOAD_BITS) |
                                                        (uiLow & SURROGATE_PAYLOAD_MASK));
    *pOut++ = static_cast<char>(FOUR_BYTE_TAG | (uiCodePoint >> (3 * PAYLOAD_BITS)));
    *pOut++ = static_cast<char>(CONTINUATION_TAG | ((uiCodePoint >> (2 * PAYLOAD_BITS)) & PAYLOAD_MASK));
    *pOut++ = static_cast<char>(CONTINUATION_TAG | ((uiCodePoint >> PAYLOAD_BITS) & PAYLOAD_MASK));
    *pOut++ = static_cast<char>(CONTINUATION_TAG | (uiCodePoint & PAYLOAD_MASK));
    return pOut;
}

// Encodes units from pIn until the input ends or pOut has no room for the
// next sequence. Returns true when input is left.
bool EncodeUtf8(const wchar_t*& pIn, const wchar_t* pEnd, char*& pOut, const char* pOutEnd)
{
    while (pIn != pEnd)
    {
        if (static_cast<std::size_t>(pEnd - pIn) >= ASCII_BLOCK_UNITS &&
            static_cast<std::size_t>(pOutEnd - pOut) >= ASCII_BLOCK_UNITS &&
            (static_cast<uint32_t>(pIn[0]) | static_cast<uint32_t>(pIn[1]) | static_cast<uint32_t>(pIn[2]) |
             static_cast<uint32_t>(pIn[3])) < ASCII_LIMIT)
        {
            for (std::size_t i = 0; i < ASCII_BLOCK_UNITS; ++i)
                pOut[i] = static_cast<char>(pIn[i]);
            pIn += ASCII_BLOCK_UNITS;
            pOut += ASCII_BLOCK_UNITS;
            continue;
        }
        // A native wchar_t is wider than a unit; only its low 16 bits count.
        const uint32_t uiUnit = static_cast<uint32_t>(pIn[0]) & UNIT_MASK;
        const bool bPair =
            IsHighSurrogate(uiUnit) && pEnd - pIn > 1 && IsLowSurrogate(static_cast<uint32_t>(pIn[1]) & UNIT_MASK);
        const std::size_t uiRoom = static_cast<std::size_t>(pOutEnd - pOut);
        if (bPair)
        {
            if (uiRoom < FOUR_BYTES)
                return true;
            pOut = EncodePair(uiUnit, static_cast<uint32_t>(pIn[1]), pOut);
            pIn += 2;
        }
        else
        {
            if (uiRoom < MAX_BYTES_PER_UNIT)
                return true;
            pOut = EncodeUnit(uiUnit, pOut);
            ++pIn;
        }
    }
    return false;
}

SString WideToUtf8(const wchar_t* pText, std::size_t uiUnits)
{
    const wchar_t* pIn = pText;
    const wchar_t* pEnd = pText + uiUnits;
    char buffer[STACK_CONVERT_LIMIT * MAX_BYTES_PER_UNIT];
    const char* pBufferEnd = buffer + sizeof(buffer);
    char* pOut = buffer;

    SString strResult;
    if (uiUnits < STACK_CONVERT_LIMIT)
    {
        EncodeUtf8(pIn, pEnd, pOut, pBufferEnd);
        strResult.assign(buffer, static_cast<std::size_t>(pOut - buffer));
        return strResult;
    }

    // Long texts are appended piece by piece through the same buffer.
    strResult.reserve(uiUnits);
    bool bMore;
    do
    {
        pOut = buffer;
        bMore = EncodeUtf8(pIn, pEnd, pOut, pBufferEnd);
        strResult.append(buffer, static_cast<std::size_t>(pOut - buffer));
    } while (bMore);
    return strResult;
}
} // namespace

WString Utf8ToWide(const SString& strText)
{
    const uint8_t* pIn = reinterpret_cast<const uint8_t*>(strText.data());
    const uint8_t* pEnd = pIn + strText.size();
    // Never more units than bytes: a surrogate pair takes four bytes.
    wchar_t buffer[STACK_CONVERT_LIMIT + 1];
    const wchar_t* pBufferEnd = buffer + STACK_CONVERT_LIMIT + 1;
    wchar_t* pOut = buffer;

    if (strText.size() < STACK_CONVERT_LIMIT)
    {
        DecodeUtf8(pIn, pEnd, pOut, pBufferEnd);
        return WString(buffer, static_cast<std::size_t>(pOut - buffer));
    }

    // Long texts are appended piece by piece through the same buffer.
    WString wstrResult;
    wstrResult.reserve(strText.size());
    bool bMore;
    do
    {
        pOut = buffer;
        bMore = DecodeUtf8(pIn, pEnd, pOut, pBufferEnd);
        wstrResult.append(buffer, static_cast<std::size_t>(pOut - buffer));
    } while (bMore);
    return wstrResult;
}

SString WideToUtf8(const WString& wstrText)
{
    return WideToUtf8(wstrText.data(), wstrText.size());
}

SString WideToUtf8(const wchar_t* pText)
{
    if (!pText)
        return SString();
    return WideToUtf8(pText, std::wcslen(pText));
}

SString BytesToHex(const void* pData, uint32_t uiLength)
{
    const uint8_t* pBytes = static_cast<const uint8_t*>(pData);
    SString strResult;
    strResult.reserve(ESCAPE_DIGIT_COUNT * uiLength);
    for (uint32_t i = 0; i < uiLength; ++i)
    {
        strResult += HEX_DIGITS[pBytes[i] >> NIBBLE_BITS];
        strResult += HEX_DIGITS[pBytes[i] & NIBBLE_MASK];
    }
    return strResult;
}

WString MultiStringToLines(const wchar_t* pData, uint32_t uiUnits)
{
    WString wstrResult;
    const wchar_t* pEnd = pData + uiUnits;
    const wchar_t* pPos = pData;
    while (pPos < pEnd && *pPos != 0)
    {
        if (!wstrResult.empty())
            wstrResult += LINE_FEED;
        const wchar_t* pStringEnd = pPos;
        while (pStringEnd < pEnd && *pStringEnd != 0)
            ++pStringEnd;
        wstrResult.append(pPos, pStringEnd);
        // Step over the terminator; an unterminated last string ends the walk.
        pPos = pStringEnd + (pStringEnd < pEnd ? 1 : 0);
    }
    return wstrResult;
}

namespace
{
char EscapeDigit(uint8_t ucNibble)
{
    return static_cast<char>(ucNibble + (ucNibble <= LAST_DECIMAL_DIGIT ? DECIMAL_DIGIT_OFFSET : LETTER_DIGIT_OFFSET));
}

// Any byte above '9' counts as a letter digit, so lower-case or other bytes
// give whatever this arithmetic makes of them.
uint8_t UnescapeDigit(uint8_t ucDigit)
{
    return static_cast<uint8_t>(ucDigit - (ucDigit <= LAST_DECIMAL_CHAR ? DECIMAL_DIGIT_OFFSET : LETTER_DIGIT_OFFSET));
}
} // namespace

SString EscapeText(const SString& strText, const SString& strDisallowed, char cEscapeChar, uint8_t ucLowest,
                   uint8_t ucHighest)
{
    SString strResult;
    strResult.reserve(strText.size());
    for (const char c : strText)
    {
        const uint8_t ucByte = static_cast<uint8_t>(c);
        if (strDisallowed.find(c) != SString::npos || c == cEscapeChar || ucByte < ucLowest || ucByte > ucHighest)
        {
            strResult += cEscapeChar;
            strResult += EscapeDigit(ucByte >> NIBBLE_BITS);
            strResult += EscapeDigit(ucByte & NIBBLE_MASK);
        }
        else
        {
            strResult += c;
        }
    }
    return strResult;
}

SString UnescapeText(const SString& strText, char cEscapeChar)
{
    SString strResult;
    strResult.reserve(strText.size());
    const std::size_t uiLength = strText.size();
    for (std::size_t i = 0; i < uiLength; ++i)
    {
        if (strText[i] == cEscapeChar && uiLength - i > ESCAPE_DIGIT_COUNT)
        {
            const uint8_t ucHigh = UnescapeDigit(static_cast<uint8_t>(strText[i + 1]));
            const uint8_t ucLow = UnescapeDigit(static_cast<uint8_t>(strText[i + 2]));
            strResult += static_cast<char>(((ucHigh << NIBBLE_BITS) | ucLow) & BYTE_MASK);
            i += ESCAPE_DIGIT_COUNT;
        }
        else
        {
            strResult += strText[i];
        }
    }
    return strResult;
}
} // namespace SharedUtil
