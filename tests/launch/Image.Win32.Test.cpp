// The built Valdrenne.exe as Windows reads it: the version block through the
// version API, the manifest through the activation-context API, the icons
// through LoadImageW and the Games Explorer definition through MSXML. The
// file lies beside this test in the build's bin folder.
#include <gtest/gtest.h>

#include <msxml2.h>
#include <objbase.h>
#include <oleauto.h>
#include <set>
#include <string>
#include <vector>
#include <winver.h>

#include "SharedUtil.Encoding.h"
#include "support/Win32TestSupport.Win32.h"

using namespace TestSupport;

namespace
{
const wchar_t* const EXECUTABLE_NAME = L"Valdrenne.exe";
constexpr WORD LANG_ENGLISH_UK = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK);
constexpr WORD LANG_ENGLISH_US = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
constexpr WORD LANG_NEUTRAL_ID = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);
constexpr WORD ICON_GROUP_NEUTRAL = 101;
constexpr WORD ICON_GROUP_ENGLISH_UK = 110;
constexpr WORD ICON_IMAGE_COUNT = 10;
constexpr int ICON_SIZES[] = {16, 32, 48, 64, 256};
constexpr DWORD ICON_RESOURCE_VERSION = 0x00030000;
constexpr std::size_t TEXT_BUFFER_UNITS = 256;
const wchar_t* const GDF_TYPE = L"DATA";
const wchar_t* const GDF_NAME = L"__GDF_XML";
constexpr wchar_t UTF16_BYTE_ORDER_MARK = 0xFEFF;
const wchar_t* const GDF_NAMESPACES = L"xmlns:g='urn:schemas-microsoft-com:GameDescription.v1'";
// The compatibility information as current systems (and Wine) write it: each
// element ends in a 64-bit MaxVersionTested, which mingw-w64's headers lack.
struct SCompatibilityElement
{
    GUID Id;
    ACTCTX_COMPATIBILITY_ELEMENT_TYPE Type;
    ULONGLONG ullMaxVersionTested;
};
constexpr std::size_t MAX_COMPATIBILITY_ELEMENTS = 16;
struct SCompatibilityInformation
{
    DWORD dwElementCount;
    SCompatibilityElement elements[MAX_COMPATIBILITY_ELEMENTS];
};
// IXMLDOMDocument2, which offers XPath with namespaces.
constexpr IID IID_XMLDOMDocument2 = {0x2933bf95, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

std::wstring ExecutablePath()
{
    return GetBinDirectory() + L"\\" + EXECUTABLE_NAME;
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD wLanguage, LONG_PTR lParam)
{
    reinterpret_cast<std::set<WORD>*>(lParam)->insert(wLanguage);
    return TRUE;
}

// Every language under which the image holds the resource.
std::set<WORD> LanguagesOf(HMODULE hModule, LPCWSTR szType, LPCWSTR szName)
{
    std::set<WORD> languages;
    EnumResourceLanguagesW(hModule, szType, szName, CollectLanguage, reinterpret_cast<LONG_PTR>(&languages));
    return languages;
}

// The resource's bytes, or nothing when it is not there in that language.
std::string ResourceBytes(HMODULE hModule, LPCWSTR szType, LPCWSTR szName, WORD wLanguage)
{
    HRSRC hInfo = FindResourceExW(hModule, szType, szName, wLanguage);
    if (!hInfo)
        return {};
    HGLOBAL hData = LoadResource(hModule, hInfo);
    const char* pData = hData ? static_cast<const char*>(LockResource(hData)) : nullptr;
    return pData ? std::string(pData, SizeofResource(hModule, hInfo)) : std::string();
}

class ImageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_hImage = LoadLibraryExW(ExecutablePath().c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(m_hImage, nullptr) << SharedUtil::WideToUtf8(ExecutablePath()) << ": error " << GetLastError();
    }

    void TearDown() override
    {
        if (m_hImage)
            FreeLibrary(m_hImage);
    }

    HMODULE m_hImage = nullptr;
};

TEST(ImageVersionTest, FixedInfoIsVersionOneSevenApplicationForWindowsNt)
{
    std::wstring wstrPath = ExecutablePath();
    DWORD dwHandle = 0xdeadbeef;
    DWORD dwSize = GetFileVersionInfoSizeW(wstrPath.c_str(), &dwHandle);
    ASSERT_NE(dwSize, 0u) << "error " << GetLastError();
    std::vector<char> block(dwSize);
    ASSERT_TRUE(GetFileVersionInfoW(wstrPath.c_str(), 0, dwSize, block.data()));

    VS_FIXEDFILEINFO* pFixed = nullptr;
    UINT uiLength = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&pFixed), &uiLength));
    ASSERT_EQ(uiLength, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(pFixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(pFixed->dwFileVersionMS, MAKELONG(7, 1));
    EXPECT_EQ(pFixed->dwFileVersionLS, 0u);
    EXPECT_EQ(pFixed->dwProductVersionMS, MAKELONG(7, 1));
    EXPECT_EQ(pFixed->dwProductVersionLS, 0u);
    EXPECT_EQ(pFixed->dwFileFlagsMask, 0x17u);
    EXPECT_EQ(pFixed->dwFileFlags, 0u);
    EXPECT_EQ(pFixed->dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));
    EXPECT_EQ(pFixed->dwFileType, static_cast<DWORD>(VFT_APP));

    WORD* pTranslation = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&pTranslation),
                               &uiLength));
    ASSERT_EQ(uiLength, 2 * sizeof(WORD)) << "one translation entry";
    EXPECT_EQ(pTranslation[0], 0x0809);
    EXPECT_EQ(pTranslation[1], 0x04b0);
}

TEST(ImageVersionTest, StringTableHoldsEveryDeclaredString)
{
    struct SCase
    {
        const wchar_t* szName;
        const wchar_t* szValue; // null: any text that is not empty
    };
    const SCase cases[] = {
        {L"CompanyName", L"Valdrenne"},   {L"FileDescription", L"Valdrenne Launcher"},
        {L"FileVersion", L"1.7.0.0"},     {L"LegalCopyright", nullptr},
        {L"ProductName", L"Qel Vendaro"}, {L"ProductVersion", L"1.7.0.0"},
    };
    std::wstring wstrPath = ExecutablePath();
    DWORD dwSize = GetFileVersionInfoSizeW(wstrPath.c_str(), nullptr);
    ASSERT_NE(dwSize, 0u);
    std::vector<char> block(dwSize);
    ASSERT_TRUE(GetFileVersionInfoW(wstrPath.c_str(), 0, dwSize, block.data()));
    for (const SCase& testCase : cases)
    {
        SCOPED_TRACE(testing::Message() << "string " << SharedUtil::WideToUtf8(testCase.szName));
        std::wstring wstrQuery = std::wstring(L"\\StringFileInfo\\080904b0\\") + testCase.szName;
        wchar_t* pValue = nullptr;
        UINT uiLength = 0;
        ASSERT_TRUE(VerQueryValueW(block.data(), wstrQuery.c_str(), reinterpret_cast<void**>(&pValue), &uiLength));
        ASSERT_NE(pValue, nullptr);
        std::wstring wstrValue(pValue);
        if (testCase.szValue)
            EXPECT_EQ(wstrValue, testCase.szValue);
        else
            EXPECT_FALSE(wstrValue.empty());
    }
}

TEST_F(ImageTest, ManifestAndGameDefinitionHaveOneLanguageEach)
{
    struct SCase
    {
        const char* szWhat;
        LPCWSTR szType;
        LPCWSTR szName;
        WORD wLanguage;
    };
    const SCase cases[] = {
        {"manifest", RT_MANIFEST, MAKEINTRESOURCEW(1), LANG_ENGLISH_US},
        {"game definition", GDF_TYPE, GDF_NAME, LANG_NEUTRAL_ID},
        {"version block", RT_VERSION, MAKEINTRESOURCEW(1), LANG_ENGLISH_UK},
        {"neutral icon group", RT_GROUP_ICON, MAKEINTRESOURCEW(ICON_GROUP_NEUTRAL), LANG_NEUTRAL_ID},
        {"English icon group", RT_GROUP_ICON, MAKEINTRESOURCEW(ICON_GROUP_ENGLISH_UK), LANG_ENGLISH_UK},
    };
    for (const SCase& testCase : cases)
    {
        SCOPED_TRACE(testCase.szWhat);
        SetLastError(0xdeadbeef);
        EXPECT_NE(FindResourceExW(m_hImage, testCase.szType, testCase.szName, testCase.wLanguage), nullptr)
            << "error " << GetLastError();
        EXPECT_EQ(LanguagesOf(m_hImage, testCase.szType, testCase.szName), std::set<WORD>{testCase.wLanguage});
    }
    // Only one manifest: no second one from the toolchain under another id.
    EXPECT_TRUE(LanguagesOf(m_hImage, RT_MANIFEST, MAKEINTRESOURCEW(2)).empty());
}

TEST_F(ImageTest, IconImagesOneToTenExistOncePerLanguage)
{
    for (WORD wId = 1; wId <= ICON_IMAGE_COUNT; ++wId)
    {
        SCOPED_TRACE(testing::Message() << "icon " << wId);
        EXPECT_EQ(LanguagesOf(m_hImage, RT_ICON, MAKEINTRESOURCEW(wId)),
                  (std::set<WORD>{LANG_NEUTRAL_ID, LANG_ENGLISH_UK}));
    }
    EXPECT_TRUE(LanguagesOf(m_hImage, RT_ICON, MAKEINTRESOURCEW(ICON_IMAGE_COUNT + 1)).empty());
}

TEST_F(ImageTest, EveryIconImageDecodesAtItsOwnSize)
{
    // Icon ids in order: 64, 48, 32, 16 and 256 px, each at 8 then 32 bpp.
    const int sizesById[ICON_IMAGE_COUNT] = {64, 64, 48, 48, 32, 32, 16, 16, 256, 256};
    for (WORD wLanguage : {LANG_NEUTRAL_ID, LANG_ENGLISH_UK})
    {
        for (WORD wId = 1; wId <= ICON_IMAGE_COUNT; ++wId)
        {
            SCOPED_TRACE(testing::Message() << "icon " << wId << ", language " << wLanguage);
            std::string strImage = ResourceBytes(m_hImage, RT_ICON, MAKEINTRESOURCEW(wId), wLanguage);
            ASSERT_FALSE(strImage.empty());
            HICON hIcon =
                CreateIconFromResourceEx(reinterpret_cast<BYTE*>(strImage.data()), static_cast<DWORD>(strImage.size()),
                                         TRUE, ICON_RESOURCE_VERSION, 0, 0, LR_DEFAULTCOLOR);
            ASSERT_NE(hIcon, nullptr) << "error " << GetLastError();
            ICONINFO info = {};
            ASSERT_TRUE(GetIconInfo(hIcon, &info));
            BITMAP bitmap = {};
            ASSERT_NE(GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap), 0);
            EXPECT_EQ(bitmap.bmWidth, sizesById[wId - 1]);
            EXPECT_EQ(bitmap.bmHeight, info.hbmColor ? sizesById[wId - 1] : 2 * sizesById[wId - 1]);
            if (info.hbmColor)
                DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);
            DestroyIcon(hIcon);
        }
    }
}

TEST_F(ImageTest, BothIconGroupsLoadAtEverySize)
{
    for (WORD wGroup : {ICON_GROUP_NEUTRAL, ICON_GROUP_ENGLISH_UK})
    {
        for (int iSize : ICON_SIZES)
        {
            SCOPED_TRACE(testing::Message() << "group " << wGroup << ", " << iSize << " px");
            SetLastError(0xdeadbeef);
            HANDLE hIcon = LoadImageW(m_hImage, MAKEINTRESOURCEW(wGroup), IMAGE_ICON, iSize, iSize, 0);
            ASSERT_NE(hIcon, nullptr) << "error " << GetLastError();
            ICONINFO info = {};
            ASSERT_TRUE(GetIconInfo(static_cast<HICON>(hIcon), &info));
            EXPECT_TRUE(info.fIcon);
            BITMAP bitmap = {};
            ASSERT_NE(GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap), 0);
            EXPECT_EQ(bitmap.bmWidth, iSize);
            EXPECT_EQ(bitmap.bmHeight, info.hbmColor ? iSize : 2 * iSize);
            if (info.hbmColor)
                DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);
            DestroyIcon(static_cast<HICON>(hIcon));
        }
    }
}

// The system's own reading of the manifest, through an activation context
// made from the executable's manifest resource.
class ManifestTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_wstrPath = ExecutablePath();
        ACTCTXW context = {};
        context.cbSize = sizeof(context);
        context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
        context.lpSource = m_wstrPath.c_str();
        context.lpResourceName = CREATEPROCESS_MANIFEST_RESOURCE_ID;
        m_hContext = CreateActCtxW(&context);
        ASSERT_NE(m_hContext, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    }

    void TearDown() override
    {
        if (m_hContext != INVALID_HANDLE_VALUE)
            ReleaseActCtx(m_hContext);
    }

    std::wstring m_wstrPath;
    HANDLE m_hContext = INVALID_HANDLE_VALUE;
};

TEST_F(ManifestTest, RunsAsInvokerSoNoElevationIsAsked)
{
    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION runLevel = {};
    runLevel.RunLevel = ACTCTX_RUN_LEVEL_NUMBERS; // overwritten on success
    SIZE_T uiWritten = 0;
    ASSERT_TRUE(QueryActCtxW(0, m_hContext, nullptr, RunlevelInformationInActivationContext, &runLevel,
                             sizeof(runLevel), &uiWritten))
        << "error " << GetLastError();
    EXPECT_EQ(uiWritten, sizeof(runLevel));
    EXPECT_EQ(runLevel.RunLevel, ACTCTX_RUN_LEVEL_AS_INVOKER);
    EXPECT_EQ(runLevel.UiAccess, 0u);
}

TEST_F(ManifestTest, ListsTheFourSupportedSystemsInOrder)
{
    const wchar_t* const expected[] = {
        L"{8E0F7A12-BFB3-4FE8-B9A5-48FD50A15A9A}", // Windows 10 and later
        L"{1F676C76-80E1-4239-95BB-83D0F6D0DA78}", // Windows 8.1
        L"{4A2F28E3-53B9-4441-BA9C-D69D4A4A6E38}", // Windows 8
        L"{35138B9A-5D96-4FBD-8E2D-A2440225F93A}", // Windows 7
    };
    SCompatibilityInformation info = {};
    SIZE_T uiWritten = 0;
    ASSERT_TRUE(QueryActCtxW(0, m_hContext, nullptr, CompatibilityInformationInActivationContext, &info, sizeof(info),
                             &uiWritten))
        << "error " << GetLastError();
    const SCompatibilityInformation* pInfo = &info;
    ASSERT_EQ(pInfo->dwElementCount, std::size(expected));
    EXPECT_EQ(uiWritten,
              offsetof(SCompatibilityInformation, elements) + sizeof(SCompatibilityElement) * std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i)
    {
        SCOPED_TRACE(testing::Message() << "element " << i);
        wchar_t wszGuid[TEXT_BUFFER_UNITS] = {};
        ASSERT_GT(StringFromGUID2(pInfo->elements[i].Id, wszGuid, TEXT_BUFFER_UNITS), 0);
        EXPECT_EQ(std::wstring(wszGuid), expected[i]);
        EXPECT_EQ(pInfo->elements[i].Type, ACTCTX_COMPATIBILITY_ELEMENT_TYPE_OS);
    }
}

// XPath over the game definition with MSXML 3.
class GameDefinitionTest : public ImageTest
{
protected:
    void SetUp() override
    {
        ImageTest::SetUp();
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        m_bComStarted = true;

        std::string strBytes = ResourceBytes(m_hImage, GDF_TYPE, GDF_NAME, LANG_NEUTRAL_ID);
        ASSERT_GE(strBytes.size(), sizeof(wchar_t));
        ASSERT_EQ(strBytes.size() % sizeof(wchar_t), 0u) << "UTF-16 holds whole code units";
        m_wstrText.assign(reinterpret_cast<const wchar_t*>(strBytes.data()), strBytes.size() / sizeof(wchar_t));
        ASSERT_EQ(m_wstrText.front(), UTF16_BYTE_ORDER_MARK);
        m_wstrText.erase(0, 1);

        CLSID classId = {};
        ASSERT_TRUE(SUCCEEDED(CLSIDFromProgID(L"Msxml2.DOMDocument.3.0", &classId)));
        ASSERT_TRUE(SUCCEEDED(CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_XMLDOMDocument2,
                                               reinterpret_cast<void**>(&m_pDocument))));
        m_pDocument->put_async(VARIANT_FALSE);
        BSTR bstrText = SysAllocStringLen(m_wstrText.data(), static_cast<UINT>(m_wstrText.size()));
        VARIANT_BOOL bLoaded = VARIANT_FALSE;
        HRESULT hr = m_pDocument->loadXML(bstrText, &bLoaded);
        SysFreeString(bstrText);
        ASSERT_EQ(hr, S_OK) << ParseErrorText();
        ASSERT_EQ(bLoaded, VARIANT_TRUE) << ParseErrorText();
        SetProperty(L"SelectionLanguage", L"XPath");
        SetProperty(L"SelectionNamespaces", GDF_NAMESPACES);
    }

    void TearDown() override
    {
        if (m_pDocument)
            m_pDocument->Release();
        if (m_bComStarted)
            CoUninitialize();
        ImageTest::TearDown();
    }

    void SetProperty(const wchar_t* szName, const wchar_t* szValue)
    {
        BSTR bstrName = SysAllocString(szName);
        VARIANT value;
        VariantInit(&value);
        value.vt = VT_BSTR;
        value.bstrVal = SysAllocString(szValue);
        EXPECT_EQ(m_pDocument->setProperty(bstrName, value), S_OK);
        VariantClear(&value);
        SysFreeString(bstrName);
    }

    std::string ParseErrorText()
    {
        IXMLDOMParseError* pError = nullptr;
        BSTR bstrReason = nullptr;
        std::string strReason = "no parse error";
        if (SUCCEEDED(m_pDocument->get_parseError(&pError)) && pError)
        {
            if (SUCCEEDED(pError->get_reason(&bstrReason)) && bstrReason)
                strReason = SharedUtil::WideToUtf8(bstrReason);
            SysFreeString(bstrReason);
            pError->Release();
        }
        return strReason;
    }

    // The text of every node the XPath expression selects, in document order.
    std::vector<std::wstring> Select(const wchar_t* szPath)
    {
        std::vector<std::wstring> texts;
        BSTR bstrPath = SysAllocString(szPath);
        IXMLDOMNodeList* pNodes = nullptr;
        HRESULT hr = m_pDocument->selectNodes(bstrPath, &pNodes);
        SysFreeString(bstrPath);
        EXPECT_EQ(hr, S_OK);
        if (!pNodes)
            return texts;
        long iCount = 0;
        pNodes->get_length(&iCount);
        for (long i = 0; i < iCount; ++i)
        {
            IXMLDOMNode* pNode = nullptr;
            BSTR bstrText = nullptr;
            if (SUCCEEDED(pNodes->get_item(i, &pNode)) && pNode && SUCCEEDED(pNode->get_text(&bstrText)))
                texts.emplace_back(bstrText ? bstrText : L"");
            SysFreeString(bstrText);
            if (pNode)
                pNode->Release();
        }
        pNodes->Release();
        return texts;
    }

    std::wstring m_wstrText;
    IXMLDOMDocument2* m_pDocument = nullptr;
    bool m_bComStarted = false;
};

TEST_F(GameDefinitionTest, DeclaresUtf16AndParses)
{
    EXPECT_EQ(m_wstrText.rfind(L"<?xml version=\"1.0\" encoding=\"utf-16\"?>", 0), 0u);
    EXPECT_EQ(Select(L"/g:GameDefinitionFile/g:GameDefinition/g:Name"), std::vector<std::wstring>{L"Valdrenne"});
}

TEST_F(GameDefinitionTest, NamesTheLaunchersOwnFileTwice)
{
    struct SCase
    {
        const char* szWhat;
        const wchar_t* szPath;
    };
    const SCase cases[] = {
        {"game executable", L"/g:GameDefinitionFile/g:GameDefinition/g:GameExecutables/g:GameExecutable/@path"},
        {"play task", L"/g:GameDefinitionFile/g:GameDefinition/g:ExtendedProperties/g:GameTasks/g:Play/g:Primary/"
                      L"g:FileTask/@path"},
    };
    for (const SCase& testCase : cases)
    {
        SCOPED_TRACE(testCase.szWhat);
        EXPECT_EQ(Select(testCase.szPath), std::vector<std::wstring>{EXECUTABLE_NAME});
    }
    EXPECT_EQ(Select(L"//g:FileTask/@arguments"), std::vector<std::wstring>{L""});
}

TEST_F(GameDefinitionTest, HoldsTheDeclaredEntries)
{
    const wchar_t* const definition = L"/g:GameDefinitionFile/g:GameDefinition";
    struct SCase
    {
        const wchar_t* szPath;
        std::vector<std::wstring> expected;
    };
    const SCase cases[] = {
        {L"/g:Genres/g:Genre", {L"Action"}},
        {L"/g:Version/g:VersionNumber/@versionNumber", {L"1.7.0.0"}},
        {L"/g:WindowsSystemPerformanceRating/@minimum", {L"2.0"}},
        {L"/g:WindowsSystemPerformanceRating/@recommended", {L"4.0"}},
        {L"/g:ExtendedProperties/g:GameTasks/g:Support/g:Task/@index", {L"0", L"1"}},
        {L"/g:ExtendedProperties/g:GameTasks/g:Support/g:Task/@name", {L"Client Manual", L"Client Support"}},
    };
    for (const SCase& testCase : cases)
    {
        SCOPED_TRACE(SharedUtil::WideToUtf8(testCase.szPath));
        EXPECT_EQ(Select((std::wstring(definition) + testCase.szPath).c_str()), testCase.expected);
    }
    EXPECT_EQ(Select(L"//g:Ratings/g:Rating/@ratingSystemID").size(), 6u);
    EXPECT_EQ(Select(L"//g:Support/g:Task/g:URLTask/@Link").size(), 2u);
    EXPECT_EQ(Select(L"//g:Developers/g:Developer/@URI").size(), 1u);
}
} // namespace
