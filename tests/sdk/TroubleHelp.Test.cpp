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
        EXPECT_EQ(testCase.szUrl,
                  BuildTroubleUrl(testCase.szTemplate, testCase.szVersionExt, testCase.szSerial, testCase.szType));
    }
}
