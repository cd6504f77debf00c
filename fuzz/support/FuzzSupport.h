#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "SString.h"

// What every fuzz target shares: the entry point that libFuzzer, or the replay
// main of the regression tests, calls; a reader that turns the input bytes
// into arguments; and the check that ends the run on a broken property, so
// that libFuzzer keeps the input as a finding.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, std::size_t uiSize);

namespace FuzzSupport
{
// Stops the run with the property's name and the values that broke it.
[[noreturn]] inline void FailProperty(const char* szProperty, const std::string& strDetail, const char* szFile,
                                      int iLine)
{
    std::fprintf(stderr, "%s:%d: property broken: %s\n%s\n", szFile, iLine, szProperty, strDetail.c_str());
    std::abort();
}

// Bytes as hexadecimal digits, for the detail of a broken property.
inline std::string Hex(const std::string& strBytes)
{
    constexpr char HEX_DIGITS[] = "0123456789ABCDEF";
    constexpr unsigned int NIBBLE_BITS = 4;
    constexpr unsigned int NIBBLE_MASK = 0x0F;
    std::string strResult;
    for (char c : strBytes)
    {
        const unsigned int uiByte = static_cast<unsigned char>(c);
        strResult += HEX_DIGITS[uiByte >> NIBBLE_BITS];
        strResult += HEX_DIGITS[uiByte & NIBBLE_MASK];
        strResult += ' ';
    }
    return strResult;
}

// Takes arguments from the front of the input; an exhausted input gives
// zeros and empty texts, so every input is a valid one.
class CFuzzInput
{
public:
    CFuzzInput(const uint8_t* pData, std::size_t uiSize) : m_pData(pData), m_uiSize(uiSize) {}

    bool IsEmpty() const { return m_uiPos >= m_uiSize; }

    uint8_t Byte() { return IsEmpty() ? 0 : m_pData[m_uiPos++]; }

    // A number from 0 to uiCount - 1 (uiCount at most 256).
    uint32_t Choice(uint32_t uiCount) { return uiCount == 0 ? 0 : Byte() % uiCount; }

    uint32_t Uint32()
    {
        constexpr unsigned int BYTE_BITS = 8;
        constexpr unsigned int BYTES = sizeof(uint32_t);
        uint32_t uiValue = 0;
        for (unsigned int i = 0; i < BYTES; ++i)
            uiValue = (uiValue << BYTE_BITS) | Byte();
        return uiValue;
    }

    int32_t Int32() { return static_cast<int32_t>(Uint32()); }

    // A length byte, then that many bytes (fewer when the input ends); at
    // most uiMaxLength bytes.
    SString Text(std::size_t uiMaxLength)
    {
        const std::size_t uiWanted = Byte() % (uiMaxLength + 1);
        const std::size_t uiLength = uiWanted < m_uiSize - Taken() ? uiWanted : m_uiSize - Taken();
        SString strText(std::string_view(reinterpret_cast<const char*>(m_pData) + Taken(), uiLength));
        m_uiPos += uiLength;
        return strText;
    }

    // Everything not taken yet.
    SString Rest()
    {
        SString strRest(std::string_view(reinterpret_cast<const char*>(m_pData) + Taken(), m_uiSize - Taken()));
        m_uiPos = m_uiSize;
        return strRest;
    }

private:
    std::size_t Taken() const { return m_uiPos < m_uiSize ? m_uiPos : m_uiSize; }

    const uint8_t* m_pData;
    std::size_t m_uiSize;
    std::size_t m_uiPos = 0;
};
} // namespace FuzzSupport

#define FUZZ_CHECK(condition, detail)                                                                                  \
    ((condition) ? static_cast<void>(0) : ::FuzzSupport::FailProperty(#condition, (detail), __FILE__, __LINE__))
