#include <gtest/gtest.h>

#include "SharedUtil.Assert.h"
#include "SharedUtil.Misc.h"
#include "support/AssertRecorder.h"

#include <string>
#include <vector>

using SharedUtil::CKeyValueMap;

namespace
{
CKeyValueMap MakeRecordMap()
{
    return CKeyValueMap("=", "&", "");
}

struct SExpectedEntry
{
    const char* szKey;
    bool bPresent;
    const char* szValue;
};

void ExpectEntries(const CKeyValueMap& map, const std::vector<SExpectedEntry>& expected)
{
    for (const SExpectedEntry& entry : expected)
    {
        SCOPED_TRACE(entry.szKey);
        SString strValue = "untouched";
        EXPECT_EQ(entry.bPresent, map.Get(entry.szKey, strValue, "default"));
        EXPECT_EQ(entry.szValue, strValue);
    }
}
} // namespace

TEST(KeyValueMap, ParseReadsEntriesAsTheTextHoldsThem)
{
    struct SCase
    {
        const char* szText;
        bool bAllowMultiple;
        std::vector<SExpectedEntry> expected;
        const char* szSerialized;
    };
    const std::vector<SCase> cases = {
        // The last of several values wins; a piece without "=" is a key with the empty value.
        {"a=1&a=2&b", false, {{"a", true, "2"}, {"b", true, ""}}, "a=2&b="},
        // Empty keys and empty pieces are skipped.
        {"=x&&c=3", false, {{"c", true, "3"}, {"x", false, "default"}, {"", false, "default"}}, "c=3"},
        // Kept side by side, Get sees the first one inserted.
        {"a=1&a=2", true, {{"a", true, "1"}}, "a=1&a=2"},
        // Only the first "=" separates; the value is unescaped on the way out.
        {"k=v=w&m=#3D#26#23", false, {{"k", true, "v=w"}, {"m", true, "=&#"}}, "k=v=w&m=#3D#26#23"},
        {"", false, {{"a", false, "default"}}, ""},
    };
    for (const SCase& testCase : cases)
    {
        SCOPED_TRACE(testCase.szText);
        CKeyValueMap map = MakeRecordMap();
        map.Set("stale", "gone after parsing");
        map.Parse(testCase.szText, testCase.bAllowMultiple);
        ExpectEntries(map, testCase.expected);
        ExpectEntries(map, {{"stale", false, "default"}});
        EXPECT_EQ(testCase.szSerialized, map.Serialize());
    }
}

TEST(KeyValueMap, SerializesInUnsignedByteOrderOfKeys)
{
    CKeyValueMap map = MakeRecordMap();
    map.Set("b", "2");
    map.Set("a", "1");
    map.Set("ab", "3");
    // Bytes above 0x7F sort after ASCII, as unsigned values.
    map.Set("\xC3\xA9", "4");
    map.Set("z", "5");
    EXPECT_EQ("a=1&ab=3&b=2&z=5&\xC3\xA9=4", map.Serialize());
}

TEST(KeyValueMap, SetReplacesEveryValueAndAnEmptyKeyOnlyRemoves)
{
    CKeyValueMap map = MakeRecordMap();
    map.Parse("a=1&a=2&b=3", true);
    map.Set("a", "new");
    EXPECT_EQ("a=new&b=3", map.Serialize());

    map.Set("flags", -6);
    ExpectEntries(map, {{"flags", true, "-6"}});

    map.Parse("=x", true);
    map.Set("", "y");
    EXPECT_EQ("", map.Serialize());
}

TEST(KeyValueMap, EscapesSeparatorsAndTheEscapeCharOnly)
{
    CKeyValueMap map = MakeRecordMap();
    map.Set("type", "loader-dll-missing");
    map.Set("flags", 6);
    map.Set("message", "a=b & c#1");
    map.Set("ecode", "E7");
    EXPECT_EQ("ecode=E7&flags=6&message=a#3Db #26 c#231&type=loader-dll-missing", map.Serialize());

    // Line breaks, quotes, blanks and bytes above 0x7F pass unchanged.
    const SString strAwkward = "k=v&w#\r\n\"q\" \xC3\xA9\xFF";
    map.Set(strAwkward, strAwkward);
    SString strValue;
    EXPECT_TRUE(map.Get(strAwkward, strValue, ""));
    EXPECT_EQ(strAwkward, strValue);
    EXPECT_NE(std::string::npos, map.Serialize().find("k#3Dv#26w#23\r\n\"q\" \xC3\xA9\xFF=k#3Dv#26w#23"));

    CKeyValueMap reparsed = MakeRecordMap();
    reparsed.Parse(map.Serialize(), false);
    EXPECT_EQ(map.Serialize(), reparsed.Serialize());
}

TEST(KeyValueMap, ExtraEscapedCharsComeFirst)
{
    CKeyValueMap map(":", ";", "!");
    map.Set("a!b", "c:d;e=f&g");
    EXPECT_EQ("a#21b:c#3Ad#3Be=f&g", map.Serialize());
}

TEST(KeyValueMap, GetOfAnAbsentKeyGivesTheDefault)
{
    CKeyValueMap map = MakeRecordMap();
    map.Parse("a=1", false);
    SString strValue = "untouched";
    EXPECT_FALSE(map.Get("b", strValue, "fallback"));
    EXPECT_EQ("fallback", strValue);

    // A present key with an empty value is present.
    map.Parse("a=", false);
    EXPECT_TRUE(map.Get("a", strValue, "fallback"));
    EXPECT_EQ("", strValue);
}

TEST(KeyValueMap, NullDefaultIsAProgrammingError)
{
    TestSupport::CAssertRecorder recorder;
    CKeyValueMap map = MakeRecordMap();
    SString strValue = "untouched";
    EXPECT_FALSE(map.Get("absent", strValue, nullptr));
    EXPECT_EQ(std::vector<std::string>{"szDefault"}, recorder.Asserts());
    EXPECT_EQ("", strValue);
}
