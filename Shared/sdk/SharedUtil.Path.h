#pragma once

#include <cstdint>
#include <vector>

#include "SString.h"

// Backslash-separated paths: joining, normalising and taking apart. Pure text
// operations; nothing here touches the file system.
namespace SharedUtil
{
// The separator of the paths this layer builds; a forward slash is read as
// one too.
constexpr char PATH_SEPARATOR = '\\';
// The same, in the wide paths the Windows calls take.
constexpr wchar_t WIDE_PATH_SEPARATOR = PATH_SEPARATOR;

SString NormalizeSeparators(const SString& strPath);
SString CombinePath(const SString& strFirst, const SString& strSecond);
SString CombinePath(const SString& strFirst, const SString& strSecond, const SString& strThird,
                    const SString& strFourth = "", const SString& strFifth = "");
void SplitFolderAndFile(const SString& strPath, SString* pstrFolder, SString* pstrFileName);
SString GetFolderPart(const SString& strPath);
SString GetFileNamePart(const SString& strPath);

// The parts from index max(iFirst, 0) to min(size, iFirst + iCount) - 1,
// joined with the delimiter; empty when that range is empty.
SString JoinParts(const std::vector<SString>& parts, const SString& strDelimiter, int32_t iFirst, int32_t iCount);
} // namespace SharedUtil
