#include "SharedUtil.Format.h"

namespace SharedUtil
{
namespace FormatDetail
{
namespace
{
// Digits of the largest 64-bit magnitude in the smallest base used (10).
constexpr std::size_t MAX_INTEGER_DIGITS = 20;

// The integer's sign and digits, without padding.
void AppendInteger(std::string& strOut, const SFormatArg& arg, char cType, bool bZeroPad, uint32_t uiWidth)
{
    const char* const szDigits = cType == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
    const uint64_t ullBase = (cType == 'x' || cType == 'X') ? 16 : 10;
    char digits[MAX_INTEGER_DIGITS];
    std::size_t uiCount = 0;
    uint64_t ullRest = arg.ullMagnitude;
    do
    {
        digits[uiCount++] = szDigits[ullRest % ullBase];
        ullRest /= ullBase;
    } while (ullRest != 0 && uiCount < MAX_INTEGER_DIGITS);

    if (arg.bNegative)
        strOut += '-';
    // Zero padding goes between the sign and the digits.
    const std::size_t uiUsed = uiCount + (arg.bNegative ? 1 : 0);
    if (bZeroPad && uiWidth > uiUsed)
        strOut.append(uiWidth - uiUsed, '0');
    while (uiCount > 0)
        strOut += digits[--uiCount];
}

void AppendArg(std::string& strOut, const SFormatArg& arg, const SFormatSpec& spec)
{
    std::string strBody;
    if (arg.kind == EArgKind::TEXT)
        strBody = arg.svText;
    else
        AppendInteger(strBody, arg, spec.cType, spec.bZeroPad && spec.cAlign == '\0', spec.uiWidth);

    const std::size_t uiPad = spec.uiWidth > strBody.size() ? spec.uiWidth - strBody.size() : 0;
    const char cAlign = spec.cAlign != '\0' ? spec.cAlign : (arg.kind == EArgKind::TEXT ? '<' : '>');
    const std::size_t uiBefore = cAlign == '>' ? uiPad : (cAlign == '^' ? uiPad / 2 : 0);
    strOut.append(uiBefore, spec.cFill);
    strOut += strBody;
    strOut.append(uiPad - uiBefore, spec.cFill);
}
} // namespace

// The format was checked at compile time: every placeholder is well formed
// and has its argument.
void AppendFormatted(std::string& strOut, std::string_view svFormat, const SFormatArg* pArgs)
{
    for (std::size_t i = 0; i < svFormat.size(); ++i)
    {
        const char c = svFormat[i];
        if ((c == '{' || c == '}') && i + 1 < svFormat.size() && svFormat[i + 1] == c)
        {
            strOut += c;
            ++i;
        }
        else if (c == '{')
        {
            const std::size_t uiClose = svFormat.find('}', i);
            SFormatSpec spec;
            if (uiClose > i + 1)
                ParseSpec(svFormat.substr(i + 2, uiClose - i - 2), spec);
            AppendArg(strOut, *pArgs++, spec);
            i = uiClose;
        }
        else
            strOut += c;
    }
}
} // namespace FormatDetail
} // namespace SharedUtil
