#include "SharedUtil.File.h"

#include <sys/stat.h>

#include "SharedUtil.Encoding.h"

namespace SharedUtil
{
namespace
{
// The C runtime's status query, which follows symbolic links. On Windows the
// path goes through UTF-16, never the ANSI code page; elsewhere the UTF-8
// bytes are the path. Errors, and a failed allocation of the converted path,
// answer false.
bool QueryFileMode(const SString& strPath, unsigned int& uiMode)
{
    try
    {
#ifdef _WIN32
        struct _stat64 info;
        if (_wstat64(Utf8ToWide(strPath).c_str(), &info) != 0)
            return false;
#else
        struct stat info;
        if (stat(strPath.c_str(), &info) != 0)
            return false;
#endif
        uiMode = info.st_mode;
        return true;
    }
    catch (...)
    {
        return false;
    }
}
} // namespace

bool IsExistingDirectory(const SString& strPath)
{
    unsigned int uiMode = 0;
    return QueryFileMode(strPath, uiMode) && (uiMode & S_IFMT) == S_IFDIR;
}

bool IsExistingFile(const SString& strPath)
{
    unsigned int uiMode = 0;
    return QueryFileMode(strPath, uiMode) && (uiMode & S_IFMT) == S_IFREG;
}
} // namespace SharedUtil
