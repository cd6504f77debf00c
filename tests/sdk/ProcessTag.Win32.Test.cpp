#include <gtest/gtest.h>

#include "SharedUtil.ProcessTag.Win32.Seam.h"
#include "SharedUtil.ProcessTag.Win32.h"
#include "support/FileBytes.h"
#include "support/Probe.Win32.h"
#include "support/TempFolder.h"

#include <filesystem>

using namespace SharedUtil;

namespace
{
SString FormatOwnTag(DWORD uiProcessId)
{
    return SString("%05d", static_cast<int>(uiProcessId));
}

SString FormatGameTag(DWORD uiParentId, DWORD uiProcessId)
{
    return SString("%05d-%05d", static_cast<int>(uiParentId), static_cast<int>(uiProcessId));
}

TEST(ProcessTag, TagsThisProcessWithItsOwnIdOnceWithoutASnapshot)
{
    const SString strTag = GetProcessLogTag();
    EXPECT_EQ(FormatOwnTag(GetCurrentProcessId()), strTag);
    EXPECT_EQ(strTag, GetProcessLogTag());
    EXPECT_FALSE(IsGameProcess());
    const SProcessTagCounters counters = GetProcessTagCountersForTesting();
    EXPECT_EQ(1u, counters.uiRoleTests);
    EXPECT_EQ(0u, counters.uiSnapshots);
}

TEST(ProcessTagProbe, TagsTheGameWithItsParentFirst)
{
    struct SCase
    {
        const wchar_t* wszFileName;
        const wchar_t* wszGameFile; // created beside the executable, or none
        bool bGame;
    };
    const SCase cases[] = {
        {L"gta_sa.exe", nullptr, true},
        {L"GTA_SA.EXE", nullptr, true},
        // Merely ending in the game's name is enough.
        {L"my_gta_sa.exe", nullptr, true},
        {L"Valdrenne.exe", nullptr, false},
        // The launcher's name decides before the files are looked at.
        {L"Valdrenne.exe", L"models\\gta3.img", false},
        {L"other.exe", nullptr, false},
        {L"other.exe", L"models\\gta3.img", true},
        {L"other.exe", L"data\\gta.dat", true},
        // Each file counts only in its own folder.
        {L"other.exe", L"data\\gta3.img", false},
    };
    const TestSupport::CTempFolder temp;
    const DWORD uiOwnId = GetCurrentProcessId();
    uint32_t uiRow = 0;
    for (const SCase& testCase : cases)
    {
        const std::filesystem::path folder = temp.GetFolder() / std::to_wstring(uiRow++);
        SCOPED_TRACE(testing::Message() << "row " << uiRow << ": "
                                        << std::filesystem::path(testCase.wszFileName).string()
                                        << (testCase.wszGameFile ? " with a game file" : ""));
        std::filesystem::create_directories(folder);
        const std::filesystem::path exePath = folder / testCase.wszFileName;
        ASSERT_TRUE(std::filesystem::copy_file(TestSupport::GetProbePath(), exePath));
        if (testCase.wszGameFile)
        {
            const std::filesystem::path gameFile = folder / testCase.wszGameFile;
            std::filesystem::create_directories(gameFile.parent_path());
            ASSERT_TRUE(TestSupport::WriteBytesToFile(gameFile, "x"));
        }

        const TestSupport::SProbeResult result = TestSupport::RunProbe(exePath.wstring());
        ASSERT_TRUE(result.bStarted);
        EXPECT_EQ(0u, result.dwExitCode);
        const auto& values = result.values;
        ASSERT_EQ(1u, values.count("tag"));
        const SString strExpected =
            testCase.bGame ? FormatGameTag(uiOwnId, result.dwProcessId) : FormatOwnTag(result.dwProcessId);
        EXPECT_EQ(strExpected, values.at("tag"));
        EXPECT_EQ(values.at("tag"), values.at("tag-again"));
        EXPECT_EQ(std::to_string(result.dwProcessId), values.at("pid"));
        EXPECT_EQ("1", values.at("role-tests"));
        EXPECT_EQ(testCase.bGame ? "1" : "0", values.at("snapshots"));
    }
}
} // namespace
