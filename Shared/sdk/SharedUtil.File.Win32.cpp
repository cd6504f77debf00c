#include "SharedUtil.File.h"

#include "SharedUtil.Encoding.h"
#include "SharedUtil.OutOfMemory.h"
#include "SharedUtil.Windows.h"

namespace SharedUtil
{
namespace
{
// The attributes of the path itself (a link's own, which for a folder link
// include FILE_ATTRIBUTE_DIRECTORY). A trailing separator still names a
// folder. Errors, and a failed allocation of the converted path, answer false.
bool QueryFileAttributes(const SString& strPath, DWORD& dwAttributes)
{
    return FailOnOutOfMemory(
        [&]
        {
            dwAttributes = GetFileAttributesW(Utf8ToWide(strPath).c_str());
            return dwAttributes != INVALID_FILE_ATTRIBUTES;
        },
        [] { return false; });
}
} // namespace

bool IsExistingDirectory(const SString& strPath)
{
    DWORD dwAttributes = 0;
    return QueryFileAttributes(strPath, dwAttributes) && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsExistingFile(const SString& strPath)
{
    DWORD dwAttributes = 0;
    return QueryFileAttributes(strPath, dwAttributes) &&
           (dwAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

} // namespace SharedUtil
