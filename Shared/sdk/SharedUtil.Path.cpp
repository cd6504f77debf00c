#include "SharedUtil.Path.h"

#include <algorithm>

namespace SharedUtil
{
namespace
{
constexpr char SZ_SEPARATOR[] = {PATH_SEPARATOR, '\0'};
constexpr char SZ_DOUBLE_SEPARATOR[] = {PATH_SEPARATOR, PATH_SEPARATOR, '\0'};
constexpr const char* SZ_FORWARD_SLASH = "/";
constexpr char DRIVE_OR_SCHEME_END = ':';
// Where a drive letter's colon puts a following doubled separator: `C:\\`.
constexpr std::size_t DRIVE_DOUBLE_POSITION = 2;
constexpr std::size_t DRIVE_COLON_POSITION = 1;
// SplitAt's index of the last occurrence.
constexpr int32_t LAST_OCCURRENCE = -1;

// Whether the first doubled separator, at uiPos, belongs to the path's root:
// the start of a UNC name, or the end of a scheme-like first element (`ab:\\`).
bool KeepsDoubleAt(const SString& strPath, std::size_t uiPos)
{
    if (uiPos == 0)
        return true;
    if (uiPos == DRIVE_DOUBLE_POSITION && strPath[DRIVE_COLON_POSITION] == DRIVE_OR_SCHEME_END)
        return false;
    return strPath[uiPos - 1] == DRIVE_OR_SCHEME_END && strPath.find(PATH_SEPARATOR) == uiPos;
}
} // namespace

SString NormalizeSeparators(const SString& strPath)
{
    const SString strBackslashed = strPath.ReplaceAll(SZ_FORWARD_SLASH, SZ_SEPARATOR);
    const std::size_t uiDoublePos = strBackslashed.find(SZ_DOUBLE_SEPARATOR);
    if (uiDoublePos == SString::npos)
        return strBackslashed;
    if (!KeepsDoubleAt(strBackslashed, uiDoublePos))
        return strBackslashed.ReplaceAll(SZ_DOUBLE_SEPARATOR, SZ_SEPARATOR, true);

    // The root keeps its double; every later run of separators becomes one.
    const std::size_t uiKeptLength = uiDoublePos + 1;
    const SString strKept = strBackslashed.substr(0, uiKeptLength);
    const SString strRest = strBackslashed.substr(uiKeptLength);
    return strKept + strRest.ReplaceAll(SZ_DOUBLE_SEPARATOR, SZ_SEPARATOR, true);
}

SString CombinePath(const SString& strFirst, const SString& strSecond)
{
    return NormalizeSeparators(strFirst + SZ_SEPARATOR + strSecond);
}

SString CombinePath(const SString& strFirst, const SString& strSecond, const SString& strThird,
                    const SString& strFourth, const SString& strFifth)
{
    SString strPath = strFirst + SZ_SEPARATOR + strSecond + SZ_SEPARATOR + strThird;
    if (!strFourth.empty())
        strPath = strPath + SZ_SEPARATOR + strFourth;
    if (!strFifth.empty())
        strPath = strPath + SZ_SEPARATOR + strFifth;
    return NormalizeSeparators(strPath);
}

void SplitFolderAndFile(const SString& strPath, SString* pstrFolder, SString* pstrFileName)
{
    const SString strNormalized = NormalizeSeparators(strPath);
    SString strFolder;
    SString strFileName;
    if (!strNormalized.SplitAt(SZ_SEPARATOR, &strFolder, &strFileName, LAST_OCCURRENCE))
    {
        strFolder.clear();
        strFileName = strNormalized;
    }
    if (pstrFolder)
        *pstrFolder = strFolder;
    if (pstrFileName)
        *pstrFileName = strFileName;
}

SString GetFolderPart(const SString& strPath)
{
    SString strFolder;
    SplitFolderAndFile(strPath, &strFolder, nullptr);
    return strFolder;
}

SString GetFileNamePart(const SString& strPath)
{
    SString strFileName;
    SplitFolderAndFile(strPath, nullptr, &strFileName);
    return strFileName;
}

SString JoinParts(const std::vector<SString>& parts, const SString& strDelimiter, int32_t iFirst, int32_t iCount)
{
    // 64-bit so that iFirst + iCount cannot overflow.
    const int64_t iBegin = std::max<int64_t>(iFirst, 0);
    const int64_t iEnd = std::min<int64_t>(static_cast<int64_t>(parts.size()), int64_t{iFirst} + iCount);
    SString strResult;
    for (int64_t i = iBegin; i < iEnd; ++i)
    {
        if (i > iBegin)
            strResult.append(strDelimiter);
        strResult.append(parts[static_cast<std::size_t>(i)]);
    }
    return strResult;
}
} // namespace SharedUtil
