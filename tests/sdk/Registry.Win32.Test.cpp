#include <gtest/gtest.h>

#include "SharedUtil.Registry.Win32.Seam.h"
#include "SharedUtil.Registry.Win32.h"
#include "SharedUtil.Registry.h"
#include "SharedUtil.ScopedHandle.Win32.h"
#include "support/ProductSettings.Win32.h"
#include "support/ScopedOverride.h"
#include "support/Utf8Text.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using namespace SharedUtil;
using TestSupport::Utf8;

namespace
{
using Bytes = std::vector<uint8_t>;

constexpr const wchar_t* TESTS_KEY = L"Software\\ValdrenneTests";
constexpr REGSAM VIEW_64 = KEY_WOW64_64KEY;
constexpr REGSAM VIEW_32 = KEY_WOW64_32KEY;

// The bytes of wide text as the registry stores them; zeros inside the view
// are kept.
Bytes WideBytes(std::wstring_view wsvText)
{
    const auto* pBytes = reinterpret_cast<const uint8_t*>(wsvText.data());
    return Bytes(pBytes, pBytes + wsvText.size() * sizeof(wchar_t));
}

std::wstring TestKeyPath()
{
    return std::wstring(TESTS_KEY) + L"\\" + std::to_wstring(GetCurrentProcessId());
}

std::string Narrow(const std::wstring& wstrAscii)
{
    return std::string(wstrAscii.begin(), wstrAscii.end());
}

struct SRawValue
{
    DWORD dwType = REG_NONE;
    Bytes data;
};

// The key opened, or created with every key above it; invalid on failure.
CScopedRegistryKey OpenKey(HKEY hRoot, const std::wstring& wstrKeyPath, REGSAM samAccess)
{
    HKEY hKey = nullptr;
    RegOpenKeyExW(hRoot, wstrKeyPath.c_str(), 0, samAccess, &hKey);
    return CScopedRegistryKey(hKey);
}

CScopedRegistryKey CreateKey(HKEY hRoot, const std::wstring& wstrKeyPath, REGSAM samView = 0, DWORD dwOptions = 0)
{
    HKEY hKey = nullptr;
    RegCreateKeyExW(hRoot, wstrKeyPath.c_str(), 0, nullptr, dwOptions, KEY_ALL_ACCESS | samView, nullptr, &hKey,
                    nullptr);
    return CScopedRegistryKey(hKey);
}

std::optional<SRawValue> QueryRaw(HKEY hRoot, const std::wstring& wstrKeyPath, const wchar_t* wszName,
                                  REGSAM samView = 0)
{
    const CScopedRegistryKey hKey = OpenKey(hRoot, wstrKeyPath, KEY_READ | samView);
    if (!hKey.IsValid())
        return std::nullopt;
    SRawValue value;
    DWORD dwSize = 0;
    LSTATUS lResult = RegQueryValueExW(hKey.Get(), wszName, nullptr, &value.dwType, nullptr, &dwSize);
    if (lResult == ERROR_SUCCESS)
    {
        value.data.resize(dwSize);
        lResult = RegQueryValueExW(hKey.Get(), wszName, nullptr, nullptr, value.data.data(), &dwSize);
    }
    if (lResult != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

// Answers of the replaced value query; the fake hands every call it does not
// change to the real one.
struct SQueryScript
{
    int iSizeQueries = 0;
    std::vector<DWORD> dataRequests;      // buffer sizes of the data queries, in order
    std::optional<DWORD> reportedSize;    // replaces the real size of a size query
    int iSizeQueriesToChange = 0;         // how many size queries get reportedSize
    int iMoreDataAnswers = 0;             // data queries answered ERROR_MORE_DATA
    DWORD dwMoreDataSize = 0;             // with this size
    LSTATUS lDataFailure = ERROR_SUCCESS; // when set, the first data query fails with it
};
SQueryScript g_script;

LSTATUS WINAPI ScriptedQuery(HKEY hKey, LPCWSTR wszName, LPDWORD pReserved, LPDWORD pType, LPBYTE pData, LPDWORD pSize)
{
    if (!pData)
    {
        const LSTATUS lResult = RegQueryValueExW(hKey, wszName, pReserved, pType, pData, pSize);
        if (g_script.reportedSize && g_script.iSizeQueries < g_script.iSizeQueriesToChange)
            *pSize = *g_script.reportedSize;
        ++g_script.iSizeQueries;
        return lResult;
    }
    g_script.dataRequests.push_back(*pSize);
    if (g_script.lDataFailure != ERROR_SUCCESS)
        return std::exchange(g_script.lDataFailure, ERROR_SUCCESS);
    if (g_script.iMoreDataAnswers > 0)
    {
        --g_script.iMoreDataAnswers;
        *pSize = g_script.dwMoreDataSize;
        return ERROR_MORE_DATA;
    }
    return RegQueryValueExW(hKey, wszName, pReserved, pType, pData, pSize);
}

class RegistryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_wstrKeyPath = TestKeyPath();
        m_strKeyPath = Narrow(m_wstrKeyPath);
        m_hKey = CreateKey(HKEY_CURRENT_USER, m_wstrKeyPath);
        ASSERT_TRUE(m_hKey.IsValid());
        g_script = SQueryScript();
    }

    void TearDown() override
    {
        m_hKey.Reset();
        RegDeleteTreeW(HKEY_CURRENT_USER, m_wstrKeyPath.c_str());
        // Fails while another run still has its key there, which is fine.
        RegDeleteKeyW(HKEY_CURRENT_USER, TESTS_KEY);
    }

    void SetRaw(const wchar_t* wszName, DWORD dwType, const Bytes& data)
    {
        ASSERT_EQ(ERROR_SUCCESS,
                  RegSetValueExW(m_hKey.Get(), wszName, 0, dwType, data.data(), static_cast<DWORD>(data.size())));
    }

    SString Read(const char* szName) { return ReadRegistryText(HKEY_CURRENT_USER, m_strKeyPath.c_str(), szName); }

    std::wstring m_wstrKeyPath;
    std::string m_strKeyPath;
    CScopedRegistryKey m_hKey;
};
} // namespace

TEST_F(RegistryTest, EveryValueTypeReadsAsText)
{
    struct SCase
    {
        const wchar_t* wszName;
        DWORD dwType;
        Bytes data;
        std::string strExpected;
    };
    const SCase cases[] = {
        {L"sz", REG_SZ, WideBytes({L"abc", 4}), "abc"},
        {L"sz-unterminated", REG_SZ, WideBytes(L"abc"), "abc"}, // the reader adds the zero
        {L"sz-odd-bytes", REG_SZ, {'a', 0, 'b', 0, 'c'}, "ab"}, // half a unit is dropped
        {L"sz-empty", REG_SZ, {}, ""},
        {L"multi", REG_MULTI_SZ, WideBytes({L"a\0b\0\0", 5}), "a\nb"},
        {L"multi-unterminated", REG_MULTI_SZ, WideBytes({L"a\0b", 3}), "a\nb"},
        {L"dword", REG_DWORD, {0x2A, 0x00, 0x00, 0x00}, "42"},
        {L"dword-max", REG_DWORD, {0xFF, 0xFF, 0xFF, 0xFF}, "4294967295"},
        {L"dword-short", REG_DWORD, {0x2A, 0x01}, "298"},
        {L"dword-long", REG_DWORD, {0x01, 0x00, 0x00, 0x00, 0xFF, 0xFF}, "1"}, // bytes past four are ignored
        {L"dword-be", REG_DWORD_BIG_ENDIAN, {0x00, 0x00, 0x00, 0x2A}, "42"},
        {L"dword-be-short", REG_DWORD_BIG_ENDIAN, {0x01, 0x2A}, "298"},
        {L"qword", REG_QWORD, {0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00}, "1099511627776"},
        {L"qword-max", REG_QWORD, Bytes(8, 0xFF), "18446744073709551615"},
        {L"binary-empty", REG_BINARY, {}, ""},
        {L"binary", REG_BINARY, {0x01, 0xAB}, "01AB"},
        {L"binary-long", REG_BINARY, Bytes(12, 0x5C), "5C5C5C5C5C5C5C5C5C5C5C5C"}, // more than the minimum 8
        {L"none", REG_NONE, {0x01, 0x02}, "0102"},
        {L"unknown-type", 0x1234, {0xDE, 0xAD}, "DEAD"},
    };
    for (const SCase& testCase : cases)
        SetRaw(testCase.wszName, testCase.dwType, testCase.data);

    for (const SCase& testCase : cases)
    {
        const std::string strName = Narrow(testCase.wszName);
        SCOPED_TRACE(strName);
        EXPECT_EQ(testCase.strExpected, Read(strName.c_str()));
    }
}

TEST_F(RegistryTest, ExpandableStringsAreExpanded)
{
    wchar_t wszSystemRoot[MAX_PATH] = {};
    ASSERT_NE(0u, GetEnvironmentVariableW(L"SystemRoot", wszSystemRoot, MAX_PATH));
    SetRaw(L"expand", REG_EXPAND_SZ, WideBytes({L"%SystemRoot%\\x", 15}));
    SetRaw(L"unknown-variable", REG_EXPAND_SZ, WideBytes({L"%ValdrenneNoSuchVariable%", 26}));

    EXPECT_EQ(Narrow(wszSystemRoot) + "\\x", Read("expand"));
    EXPECT_EQ("%ValdrenneNoSuchVariable%", Read("unknown-variable"));
}

TEST_F(RegistryTest, MissingKeyOrValueReadsEmpty)
{
    SetRaw(L"present", REG_SZ, WideBytes({L"here", 5}));

    EXPECT_EQ("", Read("absent"));
    EXPECT_EQ("", ReadRegistryText(HKEY_CURRENT_USER, (m_strKeyPath + "\\NoSuchKey").c_str(), "present"));
    EXPECT_EQ("here", Read("present"));
}

TEST_F(RegistryTest, NullPathOpensTheRootAndNullNameIsTheDefaultValue)
{
    SetRaw(nullptr, REG_SZ, WideBytes({L"default", 8}));
    SetRaw(L"named", REG_SZ, WideBytes({L"named value", 12}));

    EXPECT_EQ("named value", ReadRegistryText(m_hKey.Get(), nullptr, "named"));
    EXPECT_EQ("named value", ReadRegistryText(m_hKey.Get(), "", "named"));
    EXPECT_EQ("default", ReadRegistryText(HKEY_CURRENT_USER, m_strKeyPath.c_str(), nullptr));
    EXPECT_EQ("default", ReadRegistryText(m_hKey.Get(), nullptr, ""));
}

TEST_F(RegistryTest, ValuesOverTheSizeLimitAreNotRead)
{
    SetRaw(L"at-limit", REG_BINARY, Bytes(MAX_REGISTRY_VALUE_BYTES, 0xAB));
    SetRaw(L"over-limit", REG_BINARY, Bytes(MAX_REGISTRY_VALUE_BYTES + 1, 0xAB));
    SetRaw(L"text-over-limit", REG_SZ, Bytes(MAX_REGISTRY_VALUE_BYTES + 2, 'x'));

    const SString strAtLimit = Read("at-limit");
    EXPECT_EQ(2 * MAX_REGISTRY_VALUE_BYTES, strAtLimit.size());
    EXPECT_EQ("ABAB", strAtLimit.substr(0, 4));
    EXPECT_EQ("", Read("over-limit"));
    EXPECT_EQ("", Read("text-over-limit"));
}

TEST_F(RegistryTest, NonAsciiPathsNamesAndValuesConvert)
{
    const std::wstring wstrSubKey = m_wstrKeyPath + L"\\J\u00FCrgen\\\u65E5\u672C\u8A9E";
    {
        const CScopedRegistryKey hSubKey = CreateKey(HKEY_CURRENT_USER, wstrSubKey);
        ASSERT_TRUE(hSubKey.IsValid());
        const std::wstring_view wsvValue = {L"\u65E5\u672C\u8A9E", 4};
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(hSubKey.Get(), L"J\u00FCrgen", 0, REG_SZ,
                                                reinterpret_cast<const BYTE*>(wsvValue.data()),
                                                static_cast<DWORD>(wsvValue.size() * sizeof(wchar_t))));
    }
    const std::string strSubKey = m_strKeyPath + Utf8(u8"\\J\u00FCrgen\\\u65E5\u672C\u8A9E");

    EXPECT_EQ(Utf8(u8"\u65E5\u672C\u8A9E"),
              ReadRegistryText(HKEY_CURRENT_USER, strSubKey.c_str(), Utf8(u8"J\u00FCrgen").c_str()));

    WriteRegistryText(HKEY_CURRENT_USER, strSubKey.c_str(), Utf8(u8"\u65E5\u672C").c_str(), Utf8(u8"J\u00FCrgen"));
    const std::optional<SRawValue> written = QueryRaw(HKEY_CURRENT_USER, wstrSubKey, L"\u65E5\u672C");
    ASSERT_TRUE(written);
    EXPECT_EQ(WideBytes({L"J\u00FCrgen", 7}), written->data);
}

TEST_F(RegistryTest, WriteCreatesTheKeyAndStoresTerminatedText)
{
    const std::wstring wstrDeeper = m_wstrKeyPath + L"\\New\\Deeper";
    const std::string strDeeper = Narrow(wstrDeeper);
    SetRaw(L"was-dword", REG_DWORD, {0x2A, 0x00, 0x00, 0x00});

    WriteRegistryText(HKEY_CURRENT_USER, strDeeper.c_str(), "name", "value");
    WriteRegistryText(HKEY_CURRENT_USER, strDeeper.c_str(), "empty", "");
    WriteRegistryText(m_hKey.Get(), nullptr, "was-dword", "now text");
    WriteRegistryText(m_hKey.Get(), "", nullptr, "default");

    struct SCase
    {
        std::wstring wstrKeyPath;
        const wchar_t* wszName;
        std::wstring_view wsvExpected; // including the terminating zero
    };
    const SCase cases[] = {
        {wstrDeeper, L"name", {L"value", 6}},
        {wstrDeeper, L"empty", {L"", 1}},                // just the zero
        {m_wstrKeyPath, L"was-dword", {L"now text", 9}}, // the type changes to text
        {m_wstrKeyPath, L"", {L"default", 8}},
    };
    for (const SCase& testCase : cases)
    {
        SCOPED_TRACE(Narrow(testCase.wszName));
        const std::optional<SRawValue> written = QueryRaw(HKEY_CURRENT_USER, testCase.wstrKeyPath, testCase.wszName);
        ASSERT_TRUE(written);
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), written->dwType);
        EXPECT_EQ(WideBytes(testCase.wsvExpected), written->data);
    }
    EXPECT_EQ("value", ReadRegistryText(HKEY_CURRENT_USER, strDeeper.c_str(), "name"));
}

TEST_F(RegistryTest, WriteThatCannotCreateTheKeyWritesNothing)
{
    // Only volatile keys may live under a volatile key; our writes ask for a
    // lasting one, so the registry refuses to create it.
    ASSERT_TRUE(CreateKey(m_hKey.Get(), L"Volatile", 0, REG_OPTION_VOLATILE).IsValid());

    WriteRegistryText(HKEY_CURRENT_USER, (m_strKeyPath + "\\Volatile\\Lasting").c_str(), "name", "value");
    WriteRegistryText(nullptr, m_strKeyPath.c_str(), "name", "value");

    EXPECT_FALSE(OpenKey(HKEY_CURRENT_USER, m_wstrKeyPath + L"\\Volatile\\Lasting", KEY_READ).IsValid());
    EXPECT_FALSE(QueryRaw(HKEY_CURRENT_USER, m_wstrKeyPath + L"\\Volatile", L"name"));
    EXPECT_FALSE(QueryRaw(HKEY_CURRENT_USER, m_wstrKeyPath, L"name"));
}

TEST_F(RegistryTest, ValueThatGrewAfterTheSizeQueryIsReadWhole)
{
    SetRaw(L"grown", REG_SZ, WideBytes({L"a longer text", 14}));
    SetRaw(L"grown-binary", REG_BINARY, Bytes(20, 0x11));
    // The size query sees an older, shorter value; the data query then finds
    // the buffer too small and the registry names the size it needs.
    g_script.reportedSize = 4;
    g_script.iSizeQueriesToChange = 2;
    const TestSupport::CScopedOverride query(SetRegistryQueryFunction, ScriptedQuery);

    EXPECT_EQ("a longer text", Read("grown"));
    EXPECT_EQ((std::vector<DWORD>{4, 28}), g_script.dataRequests);

    g_script.dataRequests.clear();
    EXPECT_EQ(std::string(40, '1'), Read("grown-binary"));
    EXPECT_EQ((std::vector<DWORD>{8, 20}), g_script.dataRequests); // never below eight bytes
}

TEST_F(RegistryTest, MoreDataWithoutASizeDoublesTheRequest)
{
    struct SCase
    {
        const char* szName;
        std::vector<DWORD> expectedRequests;
        std::string strExpected;
    };
    const SCase cases[] = {
        {"text", {8, 16, 32}, "abc"},
        {"tiny-text", {2, 4, 8}, ""}, // an empty value: the smallest request is one unit
        {"dword", {8, 16, 32}, "42"},
    };
    SetRaw(L"text", REG_SZ, WideBytes({L"abc", 4}));
    SetRaw(L"tiny-text", REG_SZ, {});
    SetRaw(L"dword", REG_DWORD, {0x2A, 0x00, 0x00, 0x00});
    const TestSupport::CScopedOverride query(SetRegistryQueryFunction, ScriptedQuery);

    for (const SCase& testCase : cases)
    {
        SCOPED_TRACE(testCase.szName);
        g_script = SQueryScript();
        g_script.iMoreDataAnswers = 2;
        g_script.dwMoreDataSize = 0;

        EXPECT_EQ(testCase.strExpected, Read(testCase.szName));
        EXPECT_EQ(testCase.expectedRequests, g_script.dataRequests);
        EXPECT_EQ(1, g_script.iSizeQueries);
    }
}

TEST_F(RegistryTest, ReaderThatFailsInOneViewFallsThroughToTheNext)
{
    // Under the current user both views open the same key, so each view that
    // is asked finds the value again.
    SetRaw(L"value", REG_SZ, WideBytes({L"found", 6}));
    SetRaw(L"number", REG_DWORD, {7, 0, 0, 0});
    const TestSupport::CScopedOverride query(SetRegistryQueryFunction, ScriptedQuery);

    struct SCase
    {
        const char* szWhat;
        SQueryScript script;
        bool bFound;
        int iExpectedSizeQueries;
    };
    SQueryScript retryOverLimit;
    retryOverLimit.iMoreDataAnswers = 1;
    retryOverLimit.dwMoreDataSize = MAX_REGISTRY_VALUE_BYTES + 1;
    SQueryScript alwaysOverLimit = retryOverLimit;
    alwaysOverLimit.iMoreDataAnswers = 3;
    SQueryScript sizeOverLimit;
    sizeOverLimit.reportedSize = MAX_REGISTRY_VALUE_BYTES + 1;
    sizeOverLimit.iSizeQueriesToChange = 2;
    SQueryScript dataRefused;
    dataRefused.lDataFailure = ERROR_ACCESS_DENIED;
    SQueryScript sizeUnchanging; // a value that keeps growing by exactly what it was asked with
    sizeUnchanging.iMoreDataAnswers = 1000;
    sizeUnchanging.dwMoreDataSize = 12;
    const SCase cases[] = {
        {"retry size over the limit", retryOverLimit, true, 2},
        {"retry size always over the limit", alwaysOverLimit, false, 3},
        {"size query over the limit", sizeOverLimit, true, 3},
        {"data query refused", dataRefused, true, 2},
        {"more data without end", sizeUnchanging, false, 3},
    };
    // Texts and other types are read into buffers of their own.
    const std::pair<const char*, const char*> values[] = {{"value", "found"}, {"number", "7"}};
    for (const auto& [szName, szFound] : values)
    {
        for (const SCase& testCase : cases)
        {
            SCOPED_TRACE(std::string(szName) + ": " + testCase.szWhat);
            g_script = testCase.script;
            EXPECT_EQ(testCase.bFound ? szFound : "", Read(szName));
            EXPECT_EQ(testCase.iExpectedSizeQueries, g_script.iSizeQueries);
        }
    }
}

namespace
{
// Keys under the local machine's software branch, which has a 64-bit and a
// 32-bit view.
class RegistryViewsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_wstrKeyPath = TestKeyPath();
        m_strKeyPath = Narrow(m_wstrKeyPath);
    }

    void TearDown() override
    {
        for (REGSAM samView : {VIEW_64, VIEW_32})
        {
            const CScopedRegistryKey hSoftware = OpenKey(HKEY_LOCAL_MACHINE, L"Software", KEY_ALL_ACCESS | samView);
            if (!hSoftware.IsValid())
                continue;
            RegDeleteTreeW(hSoftware.Get(), m_wstrKeyPath.substr(std::wstring_view(L"Software\\").size()).c_str());
            RegDeleteKeyExW(hSoftware.Get(), L"ValdrenneTests", samView, 0);
        }
    }

    void SetInView(REGSAM samView, const wchar_t* wszName, std::wstring_view wsvText)
    {
        const CScopedRegistryKey hKey = CreateKey(HKEY_LOCAL_MACHINE, m_wstrKeyPath, samView);
        ASSERT_TRUE(hKey.IsValid());
        const Bytes data = WideBytes(wsvText);
        ASSERT_EQ(ERROR_SUCCESS,
                  RegSetValueExW(hKey.Get(), wszName, 0, REG_SZ, data.data(), static_cast<DWORD>(data.size())));
    }

    std::wstring m_wstrKeyPath;
    std::string m_strKeyPath;
};
} // namespace

TEST_F(RegistryViewsTest, WriteLandsInTheProcessDefaultView)
{
#ifdef _WIN64
    const REGSAM samDefault = VIEW_64, samOther = VIEW_32;
#else
    const REGSAM samDefault = VIEW_32, samOther = VIEW_64;
#endif
    WriteRegistryText(HKEY_LOCAL_MACHINE, m_strKeyPath.c_str(), "where", "default view");

    const std::optional<SRawValue> inDefault = QueryRaw(HKEY_LOCAL_MACHINE, m_wstrKeyPath, L"where", samDefault);
    ASSERT_TRUE(inDefault);
    EXPECT_EQ(WideBytes({L"default view", 13}), inDefault->data);
    EXPECT_FALSE(QueryRaw(HKEY_LOCAL_MACHINE, m_wstrKeyPath, L"where", samOther));
}

TEST_F(RegistryViewsTest, SixtyFourBitViewIsReadFirst)
{
    SetInView(VIEW_32, L"only-32", {L"from 32", 8});
    SetInView(VIEW_32, L"both", {L"from 32", 8});
    SetInView(VIEW_64, L"both", {L"from 64", 8});

    EXPECT_EQ("from 32", ReadRegistryText(HKEY_LOCAL_MACHINE, m_strKeyPath.c_str(), "only-32"));
    EXPECT_EQ("from 64", ReadRegistryText(HKEY_LOCAL_MACHINE, m_strKeyPath.c_str(), "both"));
}

// Several values in one pass read each as it reads alone; outputs that held
// text before are replaced, a value in no view by the empty text.
TEST_F(RegistryViewsTest, SeveralValuesReadAsEachReadsAlone)
{
    SetInView(VIEW_32, L"only-32", {L"from 32", 8});
    SetInView(VIEW_32, L"both", {L"from 32", 8});
    SetInView(VIEW_64, L"both", {L"from 64", 8});
    SetInView(VIEW_64, L"only-64", {L"from 64", 8});
    const char* const names[] = {"only-32", "both", "none", "only-64", "both"};
    SString texts[std::size(names)];
    std::fill(std::begin(texts), std::end(texts), SString("marker"));

    ReadRegistryTexts(HKEY_LOCAL_MACHINE, m_strKeyPath.c_str(), names, texts, std::size(names));

    for (std::size_t i = 0; i < std::size(names); ++i)
    {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(ReadRegistryText(HKEY_LOCAL_MACHINE, m_strKeyPath.c_str(), names[i]), texts[i]);
    }
    EXPECT_EQ(std::vector<SString>({"from 32", "from 64", "", "from 64", "from 64"}),
              std::vector<SString>(std::begin(texts), std::end(texts)));
}

namespace
{
#ifdef _WIN64
constexpr REGSAM OTHER_VIEW = VIEW_32;
#else
constexpr REGSAM OTHER_VIEW = VIEW_64;
#endif

// A setting of the product's own key, under a name of this run; what the test
// adds is removed again.
class SettingsTest : public ::testing::Test
{
protected:
    const std::string m_strName = "valdrenne-test-" + std::to_string(GetCurrentProcessId());
    const std::wstring m_wstrName{m_strName.begin(), m_strName.end()};
    TestSupport::CProductSettingsGuard m_Guard{{m_strName}};
};
} // namespace

TEST_F(SettingsTest, SettingNeverWrittenReadsEmpty)
{
    EXPECT_EQ("", GetSetting(m_strName));
    EXPECT_EQ("", GetSetting(DEFAULT_SETTINGS_SECTION, m_strName));
    EXPECT_EQ("", GetSettingInWriteView(m_strName));
}

TEST_F(SettingsTest, SetThenGetGivesTheValueBack)
{
    const SString strValue = Utf8(u8"type=loader-dll-not-loadable&who=J\u00FCrgen");
    SetSetting(m_strName, strValue);

    EXPECT_EQ(strValue, GetSetting(m_strName));
    EXPECT_EQ(strValue, GetSetting(DEFAULT_SETTINGS_SECTION, m_strName));
    EXPECT_EQ(strValue, GetSettingInWriteView(m_strName));
    const std::optional<SRawValue> stored =
        QueryRaw(HKEY_LOCAL_MACHINE, TestSupport::PRODUCT_SETTINGS_KEY, m_wstrName.c_str());
    ASSERT_TRUE(stored);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), stored->dwType);
}

TEST_F(SettingsTest, WriteViewReadSeesNothingOfTheOtherView)
{
    const std::wstring_view wsvOther = {L"other view", 11};
    ASSERT_TRUE(TestSupport::SetRawProductSetting(OTHER_VIEW, m_wstrName.c_str(), REG_SZ, wsvOther.data(),
                                                  static_cast<DWORD>(wsvOther.size() * sizeof(wchar_t))));
    EXPECT_EQ("", GetSettingInWriteView(m_strName));
    EXPECT_EQ("other view", GetSetting(m_strName));

    SetSetting(m_strName, "own");
    EXPECT_EQ("own", GetSettingInWriteView(m_strName));
#ifndef _WIN64
    // The 64-bit view is asked first by the three-view read.
    EXPECT_EQ("other view", GetSetting(m_strName));
#endif
}
