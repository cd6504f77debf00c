#pragma once

// Whole files read and written through the standard library, independently
// of the file code under test.
#include <filesystem>
#include <string>

namespace TestSupport
{
// Creates or truncates the file.
bool WriteBytesToFile(const std::filesystem::path& path, const std::string& strBytes);
// The whole file, or an empty text when it cannot be read.
std::string ReadBytesFromFile(const std::filesystem::path& path);
} // namespace TestSupport
