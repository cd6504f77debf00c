#include <gtest/gtest.h>

#include "SharedUtil.FilePath.h"

#include <string>

using namespace SharedUtil;

namespace
{
struct SPathCase
{
    std::string strPath;
    bool bExpected;
};

// A path of uiLength bytes: a drive, then letters.
std::string PathOfLength(std::size_t uiLength)
{
    const std::string strDrive = "C:\\";
    return strDrive + std::string(uiLength - strDrive.size(), 'a');
}
} // namespace

TEST(FilePath, IsPermittedFilePathAppliesEveryRule)
{
    const SPathCase cases[] = {
        {"C:\\dir\\file.txt", true},
        {"file.txt", true},
        {"C:x", true}, // drive-relative
        {"", false},
        // ".." components, anywhere, with either separator
        {"..\\x", false},
        {"a\\..", false},
        {"a/../b", false},
        {"..", false},
        {"a\\..\\", false},
        // dots that are no ".." component
        {"C:\\a...b\\c", true},
        {"a..b", true},
        {"...", true},
        {"..a\\b..", true},
        {"a\\...\\b", true},
        // ":" only once, only after a drive letter
        {"C:\\a:b", false},
        {"1:\\x", false},
        {"ab:\\x", false},
        {":", false},
        {"C::", false},
        {"file.txt:stream", false},
        // drive letters: both cases, to the ends of the alphabet, and the
        // bytes just outside it
        {"a:\\x", true},
        {"z:\\x", true},
        {"A:\\x", true},
        {"Z:\\x", true},
        {"@:\\x", false},
        {"[:\\x", false},
        {"`:\\x", false},
        {"{:\\x", false},
        // device and raw namespaces, in any mix of separators
        {"\\\\.\\pipe\\x", false},
        {"//?/C:/x", false},
        {"\\/.\\x", false},
        {"\\\\?\\C:\\x", false},
        {"\\??\\C:\\x", false},
        {"\\\\?\\UNC\\server\\share", false}, // no drive colon to refuse it by
        {"//?/x", false},
        {"/?\?/x", true}, // only \??\ with backslashes is the NT prefix
        {"\\?\?x", true}, // the NT prefix needs all four characters
        {"\\?\?", true},
        {"\\\\.x\\share", true},
        {"\\\\server\\share\\f", true},
        // reserved device names as the last component
        {"C:\\dir\\nul", false},
        {"aux.txt", false},
        {"C:\\nul\\file.txt", true},
        // length, in bytes
        {PathOfLength(MAX_PERMITTED_PATH_BYTES), true},
        {PathOfLength(MAX_PERMITTED_PATH_BYTES + 1), false},
    };
    for (const SPathCase& c : cases)
    {
        SCOPED_TRACE(c.strPath.size() > 64 ? std::to_string(c.strPath.size()) + " bytes" : c.strPath);
        EXPECT_EQ(c.bExpected, IsPermittedFilePath(c.strPath.c_str()));
    }
    EXPECT_FALSE(IsPermittedFilePath(nullptr));
}

TEST(FilePath, IsReservedDeviceNameLooksAtTheStemOfTheLastComponent)
{
    const SPathCase cases[] = {
        {"nul.txt", true},
        {"COM1", true},
        {"Con ", true},     // trailing blank dropped from the stem
        {"Con .txt", true}, // the same, before an extension
        {"prn..", true},
        {"nul:stream", true},
        {"NUL.tar.gz", true},
        {"CONIN$", true},
        {"conout$", true},
        {"lpt9", true},
        {"C:\\dir\\aux", true},
        {"dir/Com5.log", true},
        {"COM0", false},
        {"LPT10", false},
        {"console", false},
        {"NULL", false},
        {"CONIN", false},
        {"COMA", false},
        {"C:\\nul\\file.txt", false},
        {"dir\\", false}, // empty last component
        {".nul", false},  // empty stem
        {" nul", false},  // only trailing blanks are dropped
        {"", false},
    };
    for (const SPathCase& c : cases)
    {
        SCOPED_TRACE(c.strPath);
        EXPECT_EQ(c.bExpected, IsReservedDeviceName(c.strPath.c_str()));
    }
    EXPECT_FALSE(IsReservedDeviceName(nullptr));
}
