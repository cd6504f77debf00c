#include <gtest/gtest.h>

#include "SharedUtil.File.h"
#include "support/FileBytes.h"
#include "support/TempFolder.h"
#include "support/Utf8Text.h"

#include <filesystem>
#include <string>

using namespace SharedUtil;
using TestSupport::Utf8;

namespace
{
// A fresh folder per test, removed afterwards. The fixture builds its paths
// with the standard library's own UTF-8 reading, not with ours.
class FileExistence : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(std::filesystem::is_directory(m_Temp.GetFolder())); }

    std::filesystem::path PathOf(const char8_t* szName) const
    {
        return m_Temp.GetFolder() / std::filesystem::path(szName);
    }

    SString Utf8Of(const char8_t* szName) const
    {
        const std::u8string u8Path = PathOf(szName).u8string();
        return SString(std::string(u8Path.begin(), u8Path.end()));
    }

    TestSupport::CTempFolder m_Temp;
};
} // namespace

TEST_F(FileExistence, TellsFoldersFromFilesByTheirUtf8Names)
{
    const char8_t* const names[] = {u8"plain", u8"Jürgen", u8"Ελληνικά", u8"日本語"};
    for (const char8_t* szName : names)
    {
        SCOPED_TRACE(reinterpret_cast<const char*>(szName));
        const std::filesystem::path folder = PathOf(szName);
        ASSERT_TRUE(std::filesystem::create_directory(folder));
        ASSERT_TRUE(TestSupport::WriteBytesToFile(folder / std::filesystem::path(szName), "x"));

        const SString strFolder = Utf8Of(szName);
        const SString strFile = strFolder + "/" + Utf8(szName);
        EXPECT_TRUE(IsExistingDirectory(strFolder));
        EXPECT_FALSE(IsExistingFile(strFolder));
        EXPECT_TRUE(IsExistingFile(strFile));
        EXPECT_FALSE(IsExistingDirectory(strFile));
        EXPECT_TRUE(IsExistingDirectory(strFolder + "/")); // a trailing separator still names the folder
    }
}

TEST_F(FileExistence, AnswersFalseOnEveryError)
{
    const SString strMissing = Utf8Of(u8"missing");
    const SString cases[] = {
        "",
        strMissing,
        strMissing + "/below",
    };
    for (const SString& strPath : cases)
    {
        SCOPED_TRACE(strPath);
        EXPECT_FALSE(IsExistingDirectory(strPath));
        EXPECT_FALSE(IsExistingFile(strPath));
    }
}

#ifndef _WIN32
TEST_F(FileExistence, FollowsSymbolicLinks)
{
    std::filesystem::create_directory(PathOf(u8"folder"));
    ASSERT_TRUE(TestSupport::WriteBytesToFile(PathOf(u8"file"), "x"));
    std::filesystem::create_directory_symlink(PathOf(u8"folder"), PathOf(u8"to-folder"));
    std::filesystem::create_symlink(PathOf(u8"file"), PathOf(u8"to-file"));
    std::filesystem::create_symlink(PathOf(u8"missing"), PathOf(u8"dangling"));

    EXPECT_TRUE(IsExistingDirectory(Utf8Of(u8"to-folder")));
    EXPECT_TRUE(IsExistingFile(Utf8Of(u8"to-file")));
    EXPECT_FALSE(IsExistingDirectory(Utf8Of(u8"dangling")));
    EXPECT_FALSE(IsExistingFile(Utf8Of(u8"dangling")));
}
#endif
