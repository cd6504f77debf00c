#pragma once

#include <cstddef>
#include <cstdint>

// The C library's fopen modes ("r", "w", "a", with "+" and "b" or "t") turned
// into the parameters of a platform open. The values are our own; the
// platform code maps them to its access, creation and descriptor flags.
namespace SharedUtil
{
// Longest mode text: the first character, "+" and one of "b" or "t".
constexpr std::size_t MAX_FILE_MODE_LENGTH = 3;

// Access wanted from the file.
constexpr uint32_t FILE_ACCESS_READ = 0x1;
constexpr uint32_t FILE_ACCESS_WRITE = 0x2;

// Flags for the descriptor wrapped around the opened file.
constexpr uint32_t DESCRIPTOR_READ_ONLY = 0x01;
constexpr uint32_t DESCRIPTOR_WRITE_ONLY = 0x02;
constexpr uint32_t DESCRIPTOR_READ_WRITE = 0x04;
constexpr uint32_t DESCRIPTOR_APPEND = 0x08;
constexpr uint32_t DESCRIPTOR_CREATE = 0x10;
constexpr uint32_t DESCRIPTOR_TRUNCATE = 0x20;
constexpr uint32_t DESCRIPTOR_BINARY = 0x40;
constexpr uint32_t DESCRIPTOR_TEXT = 0x80;

// What to do about a file that exists or not.
enum class EFileCreation
{
    CREATION_OPEN_EXISTING, // fail when missing
    CREATION_CREATE_ALWAYS, // create, or truncate what exists
    CREATION_OPEN_ALWAYS,   // open, or create when missing
};

struct SFileMode
{
    uint32_t uiAccess = 0;
    EFileCreation eCreation = EFileCreation::CREATION_OPEN_EXISTING;
    uint32_t uiDescriptorFlags = 0;
    // The mode for the stream: the first character, "+" when given, "b" when
    // given; "t" is dropped.
    char szStreamMode[MAX_FILE_MODE_LENGTH + 1] = {};
};

// False for a null, empty or over-long mode, or one that is not a first
// character "r", "w" or "a" followed by at most one "+" and at most one of
// "b" and "t". The output is written only on success.
bool ParseFileMode(const char* szMode, SFileMode& outMode);
} // namespace SharedUtil
