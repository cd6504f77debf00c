#include <gtest/gtest.h>

#include "SharedUtil.TroubleHelp.h"

#include <vector>

using namespace SharedUtil;

TEST(TroubleHelp, RecordHoldsTheFourKeysInKeyOrder)
{
    struct SCase
    {
        const char* szType;
        int iFlags;
        SString strMessage;
        const char* szErrorCode;
        const char* szRecord;
    };
    const std::vector<SCase> cases = {
        {"loader-dll-missing;x", 6, "a=b & c#1", "E7",
         "ecode=E7&flags=6&message=a#3Db #26 c#231&type=loader-dll-missing"},
        {"loader-dll-missing", 2, "M", "", "ecode=&flags=2&message=M&type=loader-dll-missing"},
        // Only the part before the first ";" is the record's type.
        {"a;b;c", -1, "", "", "ecode=&flags=-1&message=&type=a"},
        {";lead", 0, "", "", "ecode=&flags=0&message=&type="},
        // Other components read the flags as these numbers.
        {"t",
         TROUBLE_EXIT_FIRST | TROUBLE_ASK_FIRST | TROUBLE_EXIT_IF_SHOWN | TROUBLE_EXIT_IF_NOT_SHOWN |
             TROUBLE_ICON_MASK | TROUBLE_MESSAGE_ONLY,
         "", "", "ecode=&flags=255&message=&type=t"},
        {"t", TROUBLE_EXIT_IF_SHOWN | TROUBLE_MESSAGE_ONLY, "", "", "ecode=&flags=132&message=&type=t"},
    };
    for (const SCase& testCase : cases)
    {
        SCOPED_TRACE(testCase.szType);
        EXPECT_EQ(testCase.szRecord,
                  BuildTroubleRecord(testCase.szType, testCase.iFlags, testCase.strMessage, testCase.szErrorCode));
    }
}

TEST(TroubleHelp, MessageSurvivesTheRecord)
{
    const SString strMessage = "a=b&c#d\n\r\nline \"two\" \xC3\xA9\xE2\x82\xAC\xFF #3D";
    STroubleRecord record;
    ASSERT_TRUE(ParseTroubleRecord(BuildTroubleRecord("t", 0x92, strMessage, "E=1&"), record));
    EXPECT_EQ("t", record.strType);
    EXPECT_EQ(0x92, record.iFlags);
    EXPECT_EQ(strMessage, record.strMessage);
    EXPECT_EQ("E=1&", record.strErrorCode);
}

TEST(TroubleHelp, RecordFlagsReadLikeAtoi)
{
    struct SCase
    {
        const char* szRecord;
        int iFlags;
    };
    const std::vector<SCase> cases = {
        {"type=t&flags=6", 6},
        {"type=t&flags= \t+12xyz", 12},
        {"type=t&flags=-3", -3},
        {"type=t&flags=x7", 0},
        {"type=t&flags=", 0},
        // No "flags" entry at all.
        {"type=t", 0},
    };
    for (const SCase& testCase : cases)
    {
        SCOPED_TRACE(testCase.szRecord);
        STroubleRecord record;
        record.iFlags = 99;
        ASSERT_TRUE(ParseTroubleRecord(testCase.szRecord, record));
        EXPECT_EQ(testCase.iFlags, record.iFlags);
    }
}

TEST(TroubleHelp, RecordWithAKeyTwiceTakesItsLastValue)
{
    struct SCase
    {
        const char* szRecord;
        const char* szType;
        const char* szMessage;
    };
    const SCase cases[] = {
        {"type=a&type=b", "b", ""},
        {"type=t&message=one&message=two", "t", "two"},
        {"message=one&type=t&message=", "t", ""},
    };
    for (const SCase& testCase : cases)
    {
        SCOPED_TRACE(testCase.szRecord);
        STroubleRecord record;
        ASSERT_TRUE(ParseTroubleRecord(testCase.szRecord, record));
        EXPECT_EQ(testCase.szType, record.strType);
        EXPECT_EQ(testCase.szMessage, record.strMessage);
    }
}

TEST(TroubleHelp, RecordWithoutTypeIsNoRecord)
{
    for (const char* szRecord : {"", "flags=2&message=m", "types=x", "=t"})
    {
        SCOPED_TRACE(szRecord);
        STroubleRecord record;
        record.strMessage = "untouched";
        EXPECT_FALSE(ParseTroubleRecord(szRecord, record));
        EXPECT_EQ("untouched", record.strMessage);
    }
    // An empty type is still a type.
    STroubleRecord record;
    EXPECT_TRUE(ParseTroubleRecord("type=", record));
}

TEST(TroubleHelp, UrlReplacesMarkersInOrder)
{
    struct SCase
    {
        const char* szTemplate;
        const char* szVersionExt;
        const char* szSerial;
        const char* szType;
        const char* szUrl;
    };
    const std::vector<SCase> cases = {
        {"", "1.7.0-9", "ABC", "loader-dll-missing",
         "https://help.valdrenne.net/vd/trouble/?v=1.7.0-9&id=ABC&tr=loader-dll-missing"},
        {"", "", "", "t", "https://help.valdrenne.net/vd/trouble/?v=&id=&tr=t"},
        // "%" in the template becomes "_" before any value goes in.
        {"x%y?t=_TROUBLE_", "", "", "a", "x_y?t=a"},
        {"%TROUBLE%", "", "", "a", "a"},
        // A later marker brought in by an earlier value is replaced too.
        {"_ID_", "", "s_TROUBLE_", "a", "sa"},
        {"_VERSION_", "_ID_", "x", "a", "x"},
        // "%" inside a value stays; nothing is URL-encoded.
        {"v=_VERSION_", "1%2 b&c", "", "a", "v=1%2 b&c"},
        // An earlier marker brought in by a later value stays.
        {"_TROUBLE_", "v", "", "_VERSION_", "_VERSION_"},
    };
    for (const SCase& testCase : cases)
    {
        SCOPED_TRACE(testCase.szTemplate);
        SString strUrl;
        EXPECT_TRUE(
            BuildTroubleUrl(testCase.szTemplate, testCase.szVersionExt, testCase.szSerial, testCase.szType, strUrl));
        EXPECT_EQ(testCase.szUrl, strUrl);
    }
}

// The attack that ran the launcher out of memory: 100,000 markers and a
// serial of 400,000 bytes would make a URL of 40 GB.
TEST(TroubleHelp, UrlLongerThanTheCapIsNeverBuilt)
{
    const SString strManyMarkers = "https://x/?" + SString(std::string(100000 * 4, '_')).ReplaceAll("____", "_ID_");
    const SString strLongSerial(std::string(400000, 's'));
    const SString strAtCap = "https://x/?" + SString(std::string(TROUBLE_URL_MAX_BYTES - 11, 'u'));
    const SString strWithVersion = strAtCap.substr(0, TROUBLE_URL_MAX_BYTES - 9) + "_VERSION_";
    struct SCase
    {
        const char* szCase;
        SString strTemplate;
        SString strVersionExt;
        SString strSerial;
        bool bBuilt;
    };
    const std::vector<SCase> cases = {
        {"many markers, long serial", strManyMarkers, "", strLongSerial, false},
        {"many markers, empty serial: the template alone is past the cap", strManyMarkers, "", "", false},
        {"template at the cap", strAtCap, "", "", true},
        {"template one past the cap", strAtCap + "u", "", "", false},
        // The template at the cap, "_VERSION_" (9 bytes) at its end.
        {"version to the cap", strWithVersion, "012345678", "", true},
        {"version to one past the cap", strWithVersion, "0123456789", "", false},
        // At the cap once the serial is in, past it once the type replaces the marker the serial brought.
        {"a marker the serial brings", strWithVersion.substr(0, TROUBLE_URL_MAX_BYTES - 9) + "_ID_", "", "_TROUBLE_",
         false},
    };
    for (const SCase& testCase : cases)
    {
        SCOPED_TRACE(testCase.szCase);
        SString strUrl = "untouched";
        EXPECT_EQ(testCase.bBuilt, BuildTroubleUrl(testCase.strTemplate, testCase.strVersionExt, testCase.strSerial,
                                                   "loader-dll-not-loadable", strUrl));
        if (testCase.bBuilt)
        {
            EXPECT_GE(TROUBLE_URL_MAX_BYTES, strUrl.size());
        }
        else
        {
            EXPECT_EQ("untouched", strUrl);
        }
    }
}

TEST(TroubleHelp, OnlyWebAddressesAreOpened)
{
    struct SCase
    {
        const char* szUrl;
        bool bWeb;
    };
    const SCase cases[] = {
        {"https://help.valdrenne.net/vd/trouble/", true},
        {"HTTPS://x", true},
        {"http://x/?a=b", true},
        {"Http://x", true},
        {"file:///C:/Windows/System32/calc.exe", false},
        {"C:\\Windows\\System32\\calc.exe", false},
        {"calc.exe", false},
        {"https:x", false},
        {" https://x", false},
        {"ftp://x", false},
        {"", false},
    };
    for (const SCase& testCase : cases)
    {
        SCOPED_TRACE(testCase.szUrl);
        EXPECT_EQ(testCase.bWeb, IsWebAddress(testCase.szUrl));
    }
}
