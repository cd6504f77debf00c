#include <gtest/gtest.h>

#include "SharedUtil.Shell.h"

#include <vector>

TEST(Shell, OnlyAPlainOpenOfAnHttpsAddressGoesThroughTheUrlHandler)
{
    struct SCase
    {
        const char* szVerb;
        const char* szFile;
        const char* szParameters;
        bool bRouted;
        const char* szRoutedFile;
        const char* szRoutedParameters;
    };
    const std::vector<SCase> cases = {
        {"open", "https://a.example/x?y=1&z", "", true, "rundll32.exe",
         "url.dll,FileProtocolHandler https://a.example/x?y=1&z"},
        // The scheme matches in any letter case and is passed on as it stands.
        {"open", "HTTPS://A", "", true, "rundll32.exe", "url.dll,FileProtocolHandler HTTPS://A"},
        {"open", "Https://", "", true, "rundll32.exe", "url.dll,FileProtocolHandler Https://"},
        {"open", "http://a.example", "", false, "http://a.example", ""},
        {"open", "https:/a", "", false, "https:/a", ""},
        {"open", " https://a", "", false, " https://a", ""},
        // The verb must match exactly, and there must be no parameters.
        {"Open", "https://a", "", false, "https://a", ""},
        {"", "https://a", "", false, "https://a", ""},
        {"open", "https://a", "-x", false, "https://a", "-x"},
        {"edit", "C:\\f.txt", "", false, "C:\\f.txt", ""},
    };
    for (const SCase& testCase : cases)
    {
        SCOPED_TRACE(testCase.szFile);
        SCOPED_TRACE(testCase.szVerb);
        SString strFile = testCase.szFile;
        SString strParameters = testCase.szParameters;
        EXPECT_EQ(testCase.bRouted, SharedUtil::RouteThroughUrlHandler(testCase.szVerb, strFile, strParameters));
        EXPECT_EQ(testCase.szRoutedFile, strFile);
        EXPECT_EQ(testCase.szRoutedParameters, strParameters);
    }
}
