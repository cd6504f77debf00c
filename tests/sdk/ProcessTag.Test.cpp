#include <gtest/gtest.h>

#include "SharedUtil.ProcessTag.h"

using namespace SharedUtil;

namespace
{
// Folders that do not exist: only the file name can decide.
TEST(GameExecutable, IsRecognisedByItsFileName)
{
    struct SCase
    {
        const char* szPath;
        bool bGame;
    };
    const SCase cases[] = {
        {"C:\\Games\\Outside Game\\gta_sa.exe", true},
        {"C:\\Games\\Outside Game\\GTA_SA.EXE", true},
        {"C:\\Games\\my_gta_sa.exe", true},
        {"gta_sa.exe", true},
        {"C:/Games/Gta_Sa.Exe", true},
        {"C:\\Games\\App\\Valdrenne.exe", false},
        {"C:\\Games\\App\\VALDRENNE.EXE", false},
        {"C:\\Games\\App\\other.exe", false},
        // The name must end in it.
        {"C:\\Games\\gta_sa.exe.bak", false},
        // A folder of that name is not the file name.
        {"C:\\gta_sa.exe\\other.exe", false},
        {"", false},
    };
    for (const SCase& testCase : cases)
    {
        SCOPED_TRACE(testCase.szPath);
        EXPECT_EQ(testCase.bGame, IsGameExecutable(testCase.szPath));
    }
}
} // namespace
