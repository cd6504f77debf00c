#include "SString.h"

#include "SString.Seam.h"
#include "SharedUtil.SeamSetter.h"
#include "SharedUtil.Assert.h"
#include "SharedUtil.FaultTrap.h"

#include <cstdio>
#include <cstdlib>

namespace
{
constexpr int FORMAT_FAILED = -1;
// The write may use the text's length plus its terminating zero; the buffer
// has one byte more, so that it can be terminated wherever the write ended.
constexpr std::size_t FORMAT_LIMIT_EXTRA = 1;
constexpr std::size_t FORMAT_BUFFER_EXTRA = 2;

constexpr const char* INVALID_PARAMETER_PREFIX = "[Invalid parameter] ";
constexpr const char* FORMAT_EXCEPTION_PREFIX = "[Format exception] ";

int CallVsnprintf(char* szBuffer, std::size_t uiBufferSize, const char* szFormat, va_list vlArgs)
{
    return std::vsnprintf(szBuffer, uiBufferSize, szFormat, vlArgs);
}

SharedUtil::FormatPassFunction g_pfnFormatPass = CallVsnprintf;

// The format itself, made harmless to print: every "%" becomes "#".
SString DescribeFailedFormat(const char* szPrefix, const char* szFormat)
{
    return SString(szPrefix) + SString(szFormat).ReplaceAll("%", "#");
}

// One pass of the C library over the argument list. It runs under the fault
// trap, so it owns nothing and leaves its result in the record.
struct SFormatPass
{
    const char* szFormat;
    va_list vlArgs;
    char* szBuffer;
    std::size_t uiLimit;
    int iResult;
};

void RunFormatPass(void* pContext)
{
    SFormatPass* pPass = static_cast<SFormatPass*>(pContext);
    // Each pass consumes its own copy of the arguments.
    va_list vlPass;
    va_copy(vlPass, pPass->vlArgs);
    int iResult = g_pfnFormatPass(pPass->szBuffer, pPass->uiLimit, pPass->szFormat, vlPass);
    va_end(vlPass);
    pPass->iResult = iResult < 0 ? FORMAT_FAILED : iResult;
}

// strcasecmp in the "C" locale, whatever the process locale: ASCII letters
// fold, every other byte compares as itself, the first zero byte ends a text.
int CompareNoCaseAscii(const char* szLeft, const char* szRight)
{
    auto FoldAscii = [](unsigned char ucChar) -> int
    { return (ucChar >= 'A' && ucChar <= 'Z') ? ucChar - 'A' + 'a' : ucChar; };
    for (;; ++szLeft, ++szRight)
    {
        int iLeft = FoldAscii(static_cast<unsigned char>(*szLeft));
        int iRight = FoldAscii(static_cast<unsigned char>(*szRight));
        if (iLeft != iRight || iLeft == 0)
            return iLeft - iRight;
    }
}
} // namespace

namespace SharedUtil
{
FormatPassFunction SetFormatPassFunction(FormatPassFunction pFunction)
{
    return ReplaceSeamFunction(g_pfnFormatPass, pFunction, CallVsnprintf);
}
} // namespace SharedUtil

SString& SString::SetFormatted(const char* szFormat, ...)
{
    va_list vlArgs;
    va_start(vlArgs, szFormat);
    SetFormattedV(szFormat, vlArgs);
    va_end(vlArgs);
    return *this;
}

SString& SString::SetFormattedV(const char* szFormat, va_list vlArgs)
{
    // Built aside: the format or a value may point into this string.
    SString strResult;
    if (szFormat)
    {
        SFormatPass pass = {};
        pass.szFormat = szFormat;
        va_copy(pass.vlArgs, vlArgs);

        // Measure, then write once into a buffer of exactly the measured size.
        bool bFaulted = !SharedUtil::RunTrappingFaults(RunFormatPass, &pass);
        const int iMeasured = pass.iResult;
        char* szBuffer = nullptr;
        std::size_t uiBufferSize = 0;
        if (!bFaulted && iMeasured > 0)
        {
            uiBufferSize = static_cast<std::size_t>(iMeasured) + FORMAT_BUFFER_EXTRA;
            szBuffer = static_cast<char*>(std::malloc(uiBufferSize));
            if (szBuffer)
            {
                pass.szBuffer = szBuffer;
                pass.uiLimit = static_cast<std::size_t>(iMeasured) + FORMAT_LIMIT_EXTRA;
                bFaulted = !SharedUtil::RunTrappingFaults(RunFormatPass, &pass);
            }
        }
        va_end(pass.vlArgs);

        if (bFaulted)
            strResult = DescribeFailedFormat(FORMAT_EXCEPTION_PREFIX, szFormat);
        else if (pass.iResult == FORMAT_FAILED)
            strResult = DescribeFailedFormat(INVALID_PARAMETER_PREFIX, szFormat);
        else if (szBuffer && pass.iResult > 0)
        {
            const std::size_t uiEnd = static_cast<std::size_t>(pass.iResult);
            szBuffer[uiEnd < uiBufferSize ? uiEnd : uiBufferSize - 1] = 0;
            strResult = szBuffer;
        }
        std::free(szBuffer);
    }
    swap(strResult);
    return *this;
}

SString SString::operator+(const SString& strOther) const
{
    SString strResult(*this);
    strResult.append(strOther);
    return strResult;
}

SString SString::operator+(const char* szOther) const
{
    SString strResult(*this);
    if (szOther)
        strResult.append(szOther);
    return strResult;
}

SString operator+(const char* szLeft, const SString& strRight)
{
    SString strResult(szLeft);
    strResult.append(strRight);
    return strResult;
}

bool SString::SplitAt(const SString& strDelimiter, SString* pstrLeft, SString* pstrRight, int32_t iIndex) const
{
    // The outputs may be this string: split a copy, which they cannot alias.
    if (pstrLeft == this || pstrRight == this)
        return SString(*this).SplitAt(strDelimiter, pstrLeft, pstrRight, iIndex);

    SU_ASSERT(iIndex);

    const std::size_t uiDelimiterLength = strDelimiter.length();
    std::size_t uiPos = npos;
    if (iIndex > 0)
    {
        uiPos = 0;
        for (int32_t iSearch = 0; iSearch < iIndex && uiPos != npos; ++iSearch)
        {
            if (iSearch > 0)
                uiPos += uiDelimiterLength;
            uiPos = uiPos < length() ? find(strDelimiter, uiPos) : npos;
        }
    }
    else if (iIndex < 0)
    {
        uiPos = length();
        // Counted in 64 bits: the smallest int32_t has no positive counterpart.
        const int64_t iSearches = -static_cast<int64_t>(iIndex);
        for (int64_t iSearch = 0; iSearch < iSearches && uiPos != npos; ++iSearch)
            uiPos = uiPos >= uiDelimiterLength ? rfind(strDelimiter, uiPos - uiDelimiterLength) : npos;
    }

    if (uiPos == npos)
    {
        // Taken as a C string, up to the first zero byte.
        SString strWhole(c_str());
        if (pstrLeft)
            *pstrLeft = iIndex < 0 ? SString() : strWhole;
        if (pstrRight)
            *pstrRight = iIndex < 0 ? strWhole : SString();
        return false;
    }

    if (pstrLeft)
        *pstrLeft = substr(0, uiPos);
    if (pstrRight)
        *pstrRight = substr(uiPos + uiDelimiterLength);
    return true;
}

SString SString::PartAfter(const SString& strDelimiter, SString* pstrLeft, int32_t iIndex) const
{
    SString strRight;
    SplitAt(strDelimiter, pstrLeft, &strRight, iIndex);
    return strRight;
}

void SString::SplitInto(const SString& strDelimiter, std::vector<SString>& outParts, unsigned int uiMaxCount,
                        unsigned int uiMinCount) const
{
    outParts.clear();
    // An empty delimiter would be found forever at the same place.
    const bool bHasDelimiter = !strDelimiter.empty();
    SU_ASSERT(bHasDelimiter);

    std::size_t uiPos = 0;
    while (bHasDelimiter)
    {
        std::size_t uiFound = find(strDelimiter, uiPos);
        if (uiFound == npos || (uiMaxCount != 0 && outParts.size() >= uiMaxCount - 1))
            break;
        outParts.push_back(substr(uiPos, uiFound - uiPos));
        uiPos = uiFound + strDelimiter.length();
    }
    outParts.push_back(substr(uiPos));

    while (outParts.size() < uiMinCount)
        outParts.emplace_back();
}

SString SString::Slice(int32_t iStart, int32_t iLength) const
{
    // Signed and in 64 bits, so that no sum of two int32_t can overflow.
    int64_t iFrom = iStart;
    int64_t iCount = iLength;
    const int64_t iSize = static_cast<int64_t>(length());
    if (iFrom < 0)
    {
        iCount += iFrom;
        iFrom = 0;
    }
    if (iCount < 0)
        iCount = 0;
    if (iFrom + iCount > iSize)
        iCount = iSize - iFrom;
    if (iCount < 1)
        return SString();
    return substr(static_cast<std::size_t>(iFrom), static_cast<std::size_t>(iCount));
}

SString SString::ReplaceAll(const char* szFind, const char* szWith, bool bRescan) const
{
    const SString strFind(szFind);
    const SString strWith(szWith);
    // Either would never end: an empty find matches everywhere, and a rescan of
    // a replacement holding find finds it again.
    const bool bHasFind = !strFind.empty();
    SU_ASSERT(bHasFind);
    const bool bRescanEnds = !bRescan || strWith.find(strFind) == npos;
    SU_ASSERT(bRescanEnds);
    if (!bHasFind || strFind.length() > length())
        return *this;

    std::size_t uiPos = find(strFind);
    if (uiPos == npos)
        return *this;

    SString strResult(*this);
    const bool bAgainAtInsert = bRescan && bRescanEnds;
    for (;;)
    {
        strResult.replace(uiPos, strFind.length(), strWith);
        if (!bAgainAtInsert)
            uiPos += strWith.length();
        if (strResult.length() - uiPos < strFind.length())
            break;
        uiPos = strResult.find(strFind, uiPos);
        if (uiPos == npos)
            break;
    }
    return strResult;
}

SString SString::StripTrailing(const char* szTail) const
{
    const SString strTail(szTail);
    // An empty tail would be cut off forever.
    const bool bHasTail = !strTail.empty();
    SU_ASSERT(bHasTail);

    SString strResult(*this);
    while (bHasTail && strResult.length() >= strTail.length() &&
           strResult.compare(strResult.length() - strTail.length(), strTail.length(), strTail) == 0)
        strResult.resize(strResult.length() - strTail.length());
    return strResult;
}

bool SString::StartsWithNoCase(const SString& strOther) const
{
    const int32_t iOtherLength = static_cast<int32_t>(strOther.length());
    return CompareNoCaseAscii(Slice(0, iOtherLength).c_str(), strOther.c_str()) == 0;
}

bool SString::EndsWithNoCase(const SString& strOther) const
{
    const int32_t iOtherLength = static_cast<int32_t>(strOther.length());
    const int32_t iStart = static_cast<int32_t>(length()) - iOtherLength;
    return CompareNoCaseAscii(Slice(iStart, iOtherLength).c_str(), strOther.c_str()) == 0;
}
