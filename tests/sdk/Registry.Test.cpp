#include <gtest/gtest.h>

#include "SharedUtil.Registry.h"

#include <string>

using namespace SharedUtil;

TEST(Registry, SettingsRootIsTheSameOnEveryCall)
{
    const SString& strRoot = GetSettingsRoot();
    EXPECT_EQ("Software\\Kestrune", GetSettingsRoot());
    // What a caller holds stays valid and unchanged across later calls.
    EXPECT_EQ("Software\\Kestrune", strRoot);
}

TEST(Registry, KeyPathsAreJoinedWithoutATrailingSeparator)
{
    struct SCase
    {
        const char* szVersion;
        const char* szSubKey;
        std::string strExpected;
    };
    const SCase cases[] = {
        {"1.7", "Settings\\general", "Software\\Kestrune\\1.7\\Settings\\general"},
        {"1.7", "Settings/general", "Software\\Kestrune\\1.7\\Settings\\general"}, // forward slash normalised
        {"1.7", "Settings\\", "Software\\Kestrune\\1.7\\Settings"},                // trailing separator dropped
        {"1.7", "", "Software\\Kestrune\\1.7"},                                    // no sub key at all
    };
    for (const SCase& testCase : cases)
    {
        SCOPED_TRACE(testCase.szSubKey);
        EXPECT_EQ(testCase.strExpected, BuildSettingsKeyPath(testCase.szVersion, testCase.szSubKey));
    }
}

TEST(Registry, SectionKeyPathIsThisVersionsSettingsBranch)
{
    EXPECT_EQ("Software\\Kestrune\\1.7\\Settings\\general", GetSettingsKeyPath(DEFAULT_SETTINGS_SECTION));
}

#ifndef _WIN32
// The native stand-in keeps settings in memory; the Windows store is tested
// against the registry itself.
TEST(Registry, NativeSettingsRoundTripPerSection)
{
    EXPECT_EQ("", GetSetting("never-written"));
    EXPECT_EQ("", GetSettingInWriteView("never-written"));

    SetSetting("pending-browse-to-solution", "type=loader");
    SetSetting("other", "pending-browse-to-solution", "elsewhere");

    EXPECT_EQ("type=loader", GetSetting("pending-browse-to-solution"));
    EXPECT_EQ("type=loader", GetSetting(DEFAULT_SETTINGS_SECTION, "pending-browse-to-solution"));
    EXPECT_EQ("elsewhere", GetSetting("other", "pending-browse-to-solution"));
    // One store natively: what SetSetting wrote, in the default section.
    EXPECT_EQ("type=loader", GetSettingInWriteView("pending-browse-to-solution"));
}
#endif
