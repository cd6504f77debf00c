#include <gtest/gtest.h>

#include "SharedUtil.Version.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <string>

using namespace SharedUtil;

namespace
{
constexpr const char* VERSION_TEXT = "1.7.0-1.00000.0";
constexpr std::size_t VERSION_TEXT_LENGTH = 15;
constexpr char MARKER = '\xCD';
// Room before and after the caller's buffer that the export must not touch.
constexpr std::size_t GUARD_BYTES = 16;
constexpr std::size_t LARGEST_BUFFER = 64;
} // namespace

TEST(Version, ExportWritesExactlyTheBufferSize)
{
    struct SCase
    {
        uint32_t uiSize;
        std::string strExpected;
    };
    const SCase cases[] = {
        {64, std::string(VERSION_TEXT) + std::string(64 - VERSION_TEXT_LENGTH, '\0')},
        {16, std::string(VERSION_TEXT) + std::string(1, '\0')},
        {15, std::string("1.7.0-1.00000.") + std::string(1, '\0')}, // one byte short: the last digit gives way
        {8, std::string("1.7.0-1") + std::string(1, '\0')},
        {1, std::string(1, '\0')}, // room for the terminator only
        {0, std::string()},        // no room at all: nothing is written
    };
    for (const SCase& testCase : cases)
    {
        SCOPED_TRACE(testCase.uiSize);
        std::array<char, GUARD_BYTES + LARGEST_BUFFER + GUARD_BYTES> buffer;
        buffer.fill(MARKER);
        char* pTarget = buffer.data() + GUARD_BYTES;

        GetLibQelVersion(pTarget, testCase.uiSize);

        EXPECT_EQ(testCase.strExpected, std::string(pTarget, testCase.uiSize));
        for (std::size_t i = 0; i < GUARD_BYTES; ++i)
            EXPECT_EQ(MARKER, buffer[i]) << "before the buffer, byte " << i;
        for (std::size_t i = GUARD_BYTES + testCase.uiSize; i < buffer.size(); ++i)
            EXPECT_EQ(MARKER, buffer[i]) << "past the buffer, byte " << i;
    }
}

TEST(Version, MajorMinorIsTheTagWithoutItsSuffix)
{
    EXPECT_EQ("1.7", GetMajorMinorVersion());
    // The data folder and the settings keys name the version the export reports.
    std::array<char, LARGEST_BUFFER> buffer;
    GetLibQelVersion(buffer.data(), LARGEST_BUFFER);
    EXPECT_EQ(GetMajorMinorVersion() + ".", std::string(buffer.data()).substr(0, GetMajorMinorVersion().size() + 1));
}
