#include "SharedUtil.File.h"

#include <filesystem>
#include <system_error>

#include "SharedUtil.Encoding.h"

namespace SharedUtil
{
namespace
{
// The path as the platform reads it: on Windows through UTF-16, never the
// ANSI code page; elsewhere the UTF-8 bytes themselves.
std::filesystem::path ToFilesystemPath(const SString& strPath)
{
#ifdef _WIN32
    return std::filesystem::path(Utf8ToWide(strPath));
#else
    return std::filesystem::path(static_cast<const std::string&>(strPath));
#endif
}

// Errors, and a failed allocation of the converted path, answer "none".
std::filesystem::file_type QueryFileType(const SString& strPath)
{
    try
    {
        std::error_code ec;
        const std::filesystem::file_status status = std::filesystem::status(ToFilesystemPath(strPath), ec);
        return ec ? std::filesystem::file_type::none : status.type();
    }
    catch (...)
    {
        return std::filesystem::file_type::none;
    }
}
} // namespace

bool IsExistingDirectory(const SString& strPath)
{
    return QueryFileType(strPath) == std::filesystem::file_type::directory;
}

bool IsExistingFile(const SString& strPath)
{
    return QueryFileType(strPath) == std::filesystem::file_type::regular;
}
} // namespace SharedUtil
