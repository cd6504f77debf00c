#include <gtest/gtest.h>

#include "SharedUtil.FileMode.h"

#include <string>

using namespace SharedUtil;

TEST(FileMode, ParseFileModeDerivesTheOpenParameters)
{
    constexpr uint32_t READ_WRITE = FILE_ACCESS_READ | FILE_ACCESS_WRITE;
    struct SModeCase
    {
        const char* szMode;
        uint32_t uiAccess;
        EFileCreation eCreation;
        uint32_t uiDescriptorFlags;
        std::string strStreamMode;
    };
    const SModeCase cases[] = {
        {"r", FILE_ACCESS_READ, EFileCreation::CREATION_OPEN_EXISTING, DESCRIPTOR_READ_ONLY | DESCRIPTOR_TEXT, "r"},
        {"rb+", READ_WRITE, EFileCreation::CREATION_OPEN_EXISTING, DESCRIPTOR_READ_WRITE | DESCRIPTOR_BINARY, "r+b"},
        {"r+b", READ_WRITE, EFileCreation::CREATION_OPEN_EXISTING, DESCRIPTOR_READ_WRITE | DESCRIPTOR_BINARY, "r+b"},
        {"w", FILE_ACCESS_WRITE, EFileCreation::CREATION_CREATE_ALWAYS,
         DESCRIPTOR_WRITE_ONLY | DESCRIPTOR_CREATE | DESCRIPTOR_TRUNCATE | DESCRIPTOR_TEXT, "w"},
        {"w+b", READ_WRITE, EFileCreation::CREATION_CREATE_ALWAYS,
         DESCRIPTOR_READ_WRITE | DESCRIPTOR_CREATE | DESCRIPTOR_TRUNCATE | DESCRIPTOR_BINARY, "w+b"},
        {"ab", FILE_ACCESS_WRITE, EFileCreation::CREATION_OPEN_ALWAYS,
         DESCRIPTOR_WRITE_ONLY | DESCRIPTOR_APPEND | DESCRIPTOR_CREATE | DESCRIPTOR_BINARY, "ab"},
        // "t" selects the text descriptor and is dropped from the stream mode
        {"a+t", READ_WRITE, EFileCreation::CREATION_OPEN_ALWAYS,
         DESCRIPTOR_READ_WRITE | DESCRIPTOR_APPEND | DESCRIPTOR_CREATE | DESCRIPTOR_TEXT, "a+"},
    };
    for (const SModeCase& c : cases)
    {
        SCOPED_TRACE(c.szMode);
        SFileMode mode;
        ASSERT_TRUE(ParseFileMode(c.szMode, mode));
        EXPECT_EQ(c.uiAccess, mode.uiAccess);
        EXPECT_EQ(c.eCreation, mode.eCreation);
        EXPECT_EQ(c.uiDescriptorFlags, mode.uiDescriptorFlags);
        EXPECT_EQ(c.strStreamMode, mode.szStreamMode);
    }
}

TEST(FileMode, ParseFileModeRefusesBadModesWithoutTouchingTheOutput)
{
    const char* const cases[] = {
        "rbt", // both "b" and "t"
        "r++",  "rbb", "rtt", "rx", "x", "+", "b", "R", " r",
        "abcd", // longer than a mode can be
        "r+b+", "",
    };
    for (const char* szMode : cases)
    {
        SCOPED_TRACE(szMode);
        SFileMode mode;
        mode.uiAccess = 0xA5;
        mode.szStreamMode[0] = '#';
        EXPECT_FALSE(ParseFileMode(szMode, mode));
        EXPECT_EQ(0xA5u, mode.uiAccess);
        EXPECT_EQ('#', mode.szStreamMode[0]);
    }
    SFileMode mode;
    EXPECT_FALSE(ParseFileMode(nullptr, mode));
}
