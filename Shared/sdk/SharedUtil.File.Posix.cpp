#include "SharedUtil.File.h"

#include <sys/stat.h>

namespace SharedUtil
{
namespace
{
// The status query follows symbolic links; the UTF-8 bytes are the path.
bool QueryFileMode(const SString& strPath, mode_t& mode)
{
    struct stat info;
    if (stat(strPath.c_str(), &info) != 0)
        return false;
    mode = info.st_mode;
    return true;
}
} // namespace

bool IsExistingDirectory(const SString& strPath)
{
    mode_t mode = 0;
    return QueryFileMode(strPath, mode) && S_ISDIR(mode);
}

bool IsExistingFile(const SString& strPath)
{
    mode_t mode = 0;
    return QueryFileMode(strPath, mode) && S_ISREG(mode);
}
} // namespace SharedUtil
