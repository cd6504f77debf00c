#include "support/FileBytes.h"

#include <fstream>
#include <sstream>

namespace TestSupport
{
bool WriteBytesToFile(const std::filesystem::path& path, const std::string& strBytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(strBytes.data(), static_cast<std::streamsize>(strBytes.size()));
    return static_cast<bool>(file);
}

std::string ReadBytesFromFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}
} // namespace TestSupport
