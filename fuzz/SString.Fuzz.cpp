// SString's SplitAt, PartAfter, SplitInto, Slice, ReplaceAll and StripTrailing
// with random arguments, against models that state each rule another way:
// occurrences listed from the left (or the right) without overlap, a slice
// as the overlap of two ranges, replacement as one pass over the text.

#include "FuzzSupport.h"

#include "SString.h"

#include <algorithm>
#include <vector>

using FuzzSupport::CFuzzInput;
using FuzzSupport::Hex;

namespace
{
constexpr std::size_t MAX_TEXT_BYTES = 64;
constexpr std::size_t MAX_DELIMITER_BYTES = 3;
constexpr uint32_t MAX_SPLIT_COUNT = 6;
// With an empty delimiter every search finds the same place, so SplitAt
// searches as often as the index says; keep those indexes small.
constexpr int32_t MAX_EMPTY_DELIMITER_INDEX = 64;
constexpr uint32_t SMALL_NUMBERS = 160;
constexpr int32_t SMALLEST_SMALL_NUMBER = -40;

// Starts of the occurrences of strFind, taken from the left without overlap.
std::vector<std::size_t> OccurrencesFromLeft(const std::string& strText, const std::string& strFind)
{
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i + strFind.size() <= strText.size();)
    {
        if (strText.compare(i, strFind.size(), strFind) == 0)
        {
            starts.push_back(i);
            i += strFind.size();
        }
        else
        {
            ++i;
        }
    }
    return starts;
}

// The same, taken from the right.
std::vector<std::size_t> OccurrencesFromRight(const std::string& strText, const std::string& strFind)
{
    std::vector<std::size_t> starts;
    for (std::size_t uiEnd = strText.size(); uiEnd >= strFind.size();)
    {
        const std::size_t uiStart = uiEnd - strFind.size();
        if (strText.compare(uiStart, strFind.size(), strFind) == 0)
        {
            starts.push_back(uiStart);
            uiEnd = uiStart;
        }
        else
        {
            --uiEnd;
        }
    }
    return starts;
}

// A number: mostly small, around the text's length; sometimes any.
int32_t Number(CFuzzInput& input)
{
    const uint8_t ucKind = input.Byte();
    if (ucKind < SMALL_NUMBERS)
        return static_cast<int32_t>(ucKind) + SMALLEST_SMALL_NUMBER;
    return input.Int32();
}

void CheckSplitAt(const SString& strText, const SString& strDelimiter, int32_t iIndex)
{
    // Where the occurrence is by the rules, or npos.
    std::size_t uiAt = std::string::npos;
    const std::size_t uiCount =
        iIndex > 0 ? static_cast<std::size_t>(iIndex) : static_cast<std::size_t>(-int64_t{iIndex});
    if (strDelimiter.empty())
    {
        if (iIndex < 0)
            uiAt = strText.size();
        else if (!strText.empty())
            uiAt = 0;
    }
    else
    {
        const std::vector<std::size_t> starts =
            iIndex > 0 ? OccurrencesFromLeft(strText, strDelimiter) : OccurrencesFromRight(strText, strDelimiter);
        if (uiCount <= starts.size())
            uiAt = starts[uiCount - 1];
    }
    const bool bModelFound = uiAt != std::string::npos;
    const std::string strWhole = strText.c_str();
    const std::string strModelLeft = bModelFound ? strText.substr(0, uiAt) : (iIndex > 0 ? strWhole : "");
    const std::string strModelRight =
        bModelFound ? strText.substr(uiAt + strDelimiter.size()) : (iIndex > 0 ? "" : strWhole);

    const std::string strCase = "text " + Hex(strText) + "\ndelimiter " + Hex(strDelimiter) + " index " +
                                std::to_string(iIndex) + "\nmodel " + Hex(strModelLeft) + "| " + Hex(strModelRight);
    SString strLeft = "unset";
    SString strRight = "unset";
    const bool bFound = strText.SplitAt(strDelimiter, &strLeft, &strRight, iIndex);
    FUZZ_CHECK(bFound == bModelFound && strLeft == strModelLeft && strRight == strModelRight,
               strCase + "\ngot   " + Hex(strLeft) + "| " + Hex(strRight));

    // Outputs that are the string itself, and PartAfter.
    SString strSelf = strText;
    strSelf.SplitAt(strDelimiter, &strSelf, &strRight, iIndex);
    FUZZ_CHECK(strSelf == strModelLeft && strRight == strModelRight, strCase + "\nleft output aliased");
    strSelf = strText;
    strSelf.SplitAt(strDelimiter, &strLeft, &strSelf, iIndex);
    FUZZ_CHECK(strLeft == strModelLeft && strSelf == strModelRight, strCase + "\nright output aliased");
    FUZZ_CHECK(strText.PartAfter(strDelimiter, nullptr, iIndex) == strModelRight, strCase + "\nPartAfter");
    strText.SplitAt(strDelimiter, nullptr, nullptr, iIndex);
}

void CheckSplitInto(const SString& strText, const SString& strDelimiter, uint32_t uiMaxCount, uint32_t uiMinCount)
{
    std::vector<std::size_t> starts = OccurrencesFromLeft(strText, strDelimiter);
    if (uiMaxCount != 0 && starts.size() > uiMaxCount - 1)
        starts.resize(uiMaxCount - 1);
    std::vector<std::string> model;
    std::size_t uiFrom = 0;
    for (std::size_t uiStart : starts)
    {
        model.push_back(strText.substr(uiFrom, uiStart - uiFrom));
        uiFrom = uiStart + strDelimiter.size();
    }
    model.push_back(strText.substr(uiFrom));
    const std::size_t uiSplit = model.size();
    model.resize(std::max<std::size_t>(model.size(), uiMinCount));

    std::vector<SString> parts = {"left over"};
    strText.SplitInto(strDelimiter, parts, uiMaxCount, uiMinCount);
    const std::string strCase = "text " + Hex(strText) + "\ndelimiter " + Hex(strDelimiter) + " max " +
                                std::to_string(uiMaxCount) + " min " + std::to_string(uiMinCount);
    FUZZ_CHECK(std::equal(parts.begin(), parts.end(), model.begin(), model.end()), strCase);

    // The parts before the padding join back to the text.
    std::string strJoined;
    for (std::size_t i = 0; i < uiSplit; ++i)
        strJoined += (i == 0 ? "" : strDelimiter) + parts[i];
    FUZZ_CHECK(strJoined == strText, strCase + "\njoined " + Hex(strJoined));
}

void CheckSlice(const SString& strText, int32_t iStart, int32_t iLength, bool bToEnd)
{
    // The bytes whose index lies in [start, start + length) and in the text.
    const int64_t iLengthUsed = bToEnd ? SString::SLICE_TO_END : iLength;
    std::string strModel;
    const int64_t iFrom = std::max<int64_t>(iStart, 0);
    const int64_t iTo = std::min<int64_t>(int64_t{iStart} + iLengthUsed, static_cast<int64_t>(strText.size()));
    for (int64_t i = iFrom; i < iTo; ++i)
        strModel += strText[static_cast<std::size_t>(i)];

    const SString strSlice = bToEnd ? strText.Slice(iStart) : strText.Slice(iStart, iLength);
    FUZZ_CHECK(strSlice == strModel, "text " + Hex(strText) + "\nstart " + std::to_string(iStart) + " length " +
                                         std::to_string(iLengthUsed) + "\ngot   " + Hex(strSlice) + "\nmodel " +
                                         Hex(strModel));
}

void CheckReplaceAll(const SString& strText, const std::string& strFind, const std::string& strWith, bool bRescan)
{
    std::string strModel;
    if (!bRescan)
    {
        for (std::size_t i = 0; i < strText.size();)
        {
            if (strText.compare(i, strFind.size(), strFind) == 0)
            {
                strModel += strWith;
                i += strFind.size();
            }
            else
            {
                strModel += strText[i++];
            }
        }
    }
    else
    {
        // Search again from the start of each replacement.
        strModel = strText;
        for (std::size_t uiAt = strModel.find(strFind); uiAt != std::string::npos; uiAt = strModel.find(strFind, uiAt))
            strModel.replace(uiAt, strFind.size(), strWith);
    }
    const SString strResult = strText.ReplaceAll(strFind.c_str(), strWith.c_str(), bRescan);
    FUZZ_CHECK(strResult == strModel, "text " + Hex(strText) + "\nfind " + Hex(strFind) + " with " + Hex(strWith) +
                                          (bRescan ? " rescan" : "") + "\ngot   " + Hex(strResult) + "\nmodel " +
                                          Hex(strModel));
    if (bRescan && strWith.size() < strFind.size() && strFind.compare(0, strWith.size(), strWith) == 0 &&
        strFind.find_first_not_of(strFind[0]) == std::string::npos)
    {
        // A run of one byte made shorter, such as two backslashes to one,
        // leaves no run of find behind.
        FUZZ_CHECK(strResult.find(strFind) == std::string::npos, "text " + Hex(strText));
    }
}

void CheckStripTrailing(const SString& strText, const std::string& strTail)
{
    std::string strModel = strText;
    while (strModel.size() >= strTail.size() &&
           strModel.compare(strModel.size() - strTail.size(), strTail.size(), strTail) == 0)
        strModel.resize(strModel.size() - strTail.size());
    const SString strResult = strText.StripTrailing(strTail.c_str());
    FUZZ_CHECK(strResult == strModel, "text " + Hex(strText) + "\ntail " + Hex(strTail));
}

// A C string that is not empty, for the operations that take one.
std::string NonEmptyCString(const SString& strBytes, const char* szFallback)
{
    const std::string strText = strBytes.c_str();
    return strText.empty() ? szFallback : strText;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, std::size_t uiSize)
{
    CFuzzInput input(pData, uiSize);
    const SString strText = input.Text(MAX_TEXT_BYTES);
    const SString strDelimiter = input.Text(MAX_DELIMITER_BYTES);

    int32_t iIndex = Number(input);
    if (iIndex == 0)
        iIndex = 1;
    if (strDelimiter.empty())
        iIndex = std::clamp(iIndex, -MAX_EMPTY_DELIMITER_INDEX, MAX_EMPTY_DELIMITER_INDEX);
    CheckSplitAt(strText, strDelimiter, iIndex);

    const uint32_t uiMaxCount = input.Choice(MAX_SPLIT_COUNT);
    const uint32_t uiMinCount = input.Choice(MAX_SPLIT_COUNT);
    CheckSplitInto(strText, strDelimiter.empty() ? SString("\\") : strDelimiter, uiMaxCount, uiMinCount);

    const int32_t iStart = Number(input);
    const int32_t iLength = Number(input);
    CheckSlice(strText, iStart, iLength, false);
    CheckSlice(strText, iStart, iLength, true);

    const std::string strFind = NonEmptyCString(input.Text(MAX_DELIMITER_BYTES), "\\\\");
    const std::string strWith = std::string(input.Text(MAX_DELIMITER_BYTES).c_str());
    CheckReplaceAll(strText, strFind, strWith, false);
    if (strWith.find(strFind) == std::string::npos)
        CheckReplaceAll(strText, strFind, strWith, true);
    CheckReplaceAll(strText, "\\\\", "\\", true);

    CheckStripTrailing(strText, NonEmptyCString(input.Text(MAX_DELIMITER_BYTES), " "));
    return 0;
}
