#pragma once

#include "SString.h"

// Backslash-separated paths: joining, normalising and taking apart. Pure text
// operations; nothing here touches the file system.
namespace SharedUtil
{
SString NormalizeSeparators(const SString& strPath);
SString CombinePath(const SString& strFirst, const SString& strSecond);
SString CombinePath(const SString& strFirst, const SString& strSecond, const SString& strThird,
                    const SString& strFourth = "", const SString& strFifth = "");
void SplitFolderAndFile(const SString& strPath, SString* pstrFolder, SString* pstrFileName);
SString GetFolderPart(const SString& strPath);
SString GetFileNamePart(const SString& strPath);
} // namespace SharedUtil
