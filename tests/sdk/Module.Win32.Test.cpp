#include <gtest/gtest.h>

#include "SharedUtil.Encoding.h"
#include "SharedUtil.Module.Win32.Seam.h"
#include "SharedUtil.Module.Win32.h"
#include "support/Probe.Win32.h"
#include "support/ScopedOverride.h"
#include "support/TempFolder.h"
#include "support/Win32TestSupport.Win32.h"

#include <algorithm>
#include <filesystem>
#include <vector>

using namespace SharedUtil;

namespace
{
TEST(ExecutablePath, IsThisTestsOwnFileEveryTime)
{
    const SString strPath = GetExecutablePath();
    EXPECT_TRUE(strPath.EndsWithNoCase("\\sdk_Module_Win32_test.exe")) << strPath;
    EXPECT_EQ(WideToUtf8(TestSupport::GetBinDirectory() + L"\\sdk_Module_Win32_test.exe"), strPath);
    EXPECT_EQ(strPath, GetExecutablePath());
    EXPECT_EQ(strPath, ReadExecutablePathForTesting());
}

TEST(ExecutablePath, ComesBackAsUtf8FromANonAsciiFolder)
{
    const TestSupport::CTempFolder temp;
    const std::filesystem::path folder = temp.GetFolder() / L"d\u00e9j\u00e0 \u65e5\u672c";
    std::filesystem::create_directories(folder);
    const std::filesystem::path exePath = folder / L"probe.exe";
    ASSERT_TRUE(std::filesystem::copy_file(TestSupport::GetProbePath(), exePath));

    const TestSupport::SProbeResult result = TestSupport::RunProbe(exePath.wstring());
    ASSERT_TRUE(result.bStarted);
    ASSERT_EQ(1u, result.values.count("path"));
    EXPECT_EQ(WideToUtf8(exePath.wstring()), result.values.at("path"));
    const std::string strPath = result.values.at("path");
    const std::string strTail = "\\d\xC3\xA9j\xC3\xA0 \xE6\x97\xA5\xE6\x9C\xAC\\probe.exe";
    EXPECT_EQ(strTail, strPath.substr(strPath.size() - std::min(strPath.size(), strTail.size())));
}

// Programs cannot be started from paths this long, so the module name is
// played through the seam; the full-path call stays the system's unless a row
// replaces it.
std::wstring g_wstrModuleName;
DWORD g_uiErrorOnCut = ERROR_INSUFFICIENT_BUFFER;
bool g_bTerminateCut = true;
std::vector<uint32_t> g_ModuleNameSizes;
uint32_t g_uiFullPathCalls = 0;
uint32_t g_uiFullPathFailingCall = 0;
// How the failing call fails: 0 returns 0; otherwise it fills the buffer and
// then answers with the size a grown path would need, this much more than fits.
uint32_t g_uiFullPathOverrun = 0;

uint32_t PlayModuleFileName(wchar_t* pBuffer, uint32_t uiSize)
{
    g_ModuleNameSizes.push_back(uiSize);
    if (g_wstrModuleName.size() < uiSize)
    {
        std::copy(g_wstrModuleName.begin(), g_wstrModuleName.end(), pBuffer);
        pBuffer[g_wstrModuleName.size()] = 0;
        return static_cast<uint32_t>(g_wstrModuleName.size());
    }
    // Cut as the system cuts: size - 1 characters and a terminator, or (as
    // older systems did) size characters without one.
    const uint32_t uiCopied = g_bTerminateCut ? uiSize - 1 : uiSize;
    std::copy_n(g_wstrModuleName.begin(), uiCopied, pBuffer);
    if (g_bTerminateCut)
        pBuffer[uiCopied] = 0;
    SetLastError(g_uiErrorOnCut);
    return uiSize;
}

uint32_t CountedFullPathName(const wchar_t* szPath, uint32_t uiSize, wchar_t* pBuffer)
{
    const uint32_t uiResult = GetFullPathNameW(szPath, uiSize, pBuffer, nullptr);
    if (++g_uiFullPathCalls != g_uiFullPathFailingCall)
        return uiResult;
    return g_uiFullPathOverrun == 0 ? 0 : uiSize - 1 + g_uiFullPathOverrun;
}

// Backslash-separated folders of a hundred characters, exactly uiLength long.
std::wstring MakeLongPath(std::size_t uiLength)
{
    constexpr std::size_t FOLDER_STEP = 100;
    std::wstring wstrPath = L"C:\\";
    while (wstrPath.size() < uiLength)
        wstrPath += wstrPath.size() % FOLDER_STEP == 0 ? L'\\' : L'p';
    wstrPath.back() = L'x';
    return wstrPath;
}

class ExecutablePathSeam : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_ModuleNameSizes.clear();
        g_uiFullPathCalls = 0;
        g_uiFullPathFailingCall = 0;
        g_uiFullPathOverrun = 0;
        g_uiErrorOnCut = ERROR_INSUFFICIENT_BUFFER;
        g_bTerminateCut = true;
    }

    TestSupport::CScopedOverride<ModuleFileNameFunction> m_ModuleFileName{SetModuleFileNameFunction,
                                                                          PlayModuleFileName};
    TestSupport::CScopedOverride<FullPathNameFunction> m_FullPathName{SetFullPathNameFunction, CountedFullPathName};
};

TEST_F(ExecutablePathSeam, GrowsTheBufferUntilTheNameFits)
{
    const std::vector<uint32_t> growthTo32768 = {512, 1024, 2048, 4096, 8192, 16384, 32768};
    struct SCase
    {
        const char* szName;
        std::size_t uiNameLength;
        DWORD uiErrorOnCut;
        bool bTerminateCut;
        std::vector<uint32_t> expectedSizes;
        std::size_t uiExpectedLength;
    };
    const SCase cases[] = {
        {"fits at once", 100, ERROR_INSUFFICIENT_BUFFER, true, {512}, 100},
        {"511 fits", 511, ERROR_INSUFFICIENT_BUFFER, true, {512}, 511},
        {"512 is cut", 512, ERROR_INSUFFICIENT_BUFFER, true, {512, 1024}, 512},
        {"two doublings", 1500, ERROR_INSUFFICIENT_BUFFER, true, {512, 1024, 2048}, 1500},
        {"longest path", 32767, ERROR_INSUFFICIENT_BUFFER, true, growthTo32768, 32767},
        // Still cut at the largest buffer: kept as cut.
        {"beyond the largest", 40000, ERROR_INSUFFICIENT_BUFFER, true, growthTo32768, 32767},
        // Cut without the error that asks for a larger buffer: kept as cut.
        {"cut, other error", 600, ERROR_SUCCESS, true, {512}, 511},
        {"cut, no terminator", 600, ERROR_SUCCESS, false, {512}, 512},
    };
    for (const SCase& testCase : cases)
    {
        SCOPED_TRACE(testCase.szName);
        g_wstrModuleName = MakeLongPath(testCase.uiNameLength);
        g_uiErrorOnCut = testCase.uiErrorOnCut;
        g_bTerminateCut = testCase.bTerminateCut;
        g_ModuleNameSizes.clear();
        g_uiFullPathCalls = 0;

        const SString strPath = ReadExecutablePathForTesting();
        EXPECT_EQ(testCase.expectedSizes, g_ModuleNameSizes);
        EXPECT_EQ(2u, g_uiFullPathCalls);
        ASSERT_EQ(testCase.uiExpectedLength, strPath.size());
        EXPECT_TRUE(WideToUtf8(g_wstrModuleName.substr(0, testCase.uiExpectedLength)) == strPath);
    }
}

TEST_F(ExecutablePathSeam, TakesTheFullFormUnlessTheSystemCannotGiveIt)
{
    struct SCase
    {
        const char* szName;
        const wchar_t* wszModuleName;
        uint32_t uiFullPathFailingCall; // 0: none fails
        uint32_t uiExpectedFullPathCalls;
        const char* szExpected;
    };
    const SCase cases[] = {
        {"full form", L"C:\\Games\\App\\..\\Other\\.\\Valdrenne.exe", 0, 2, "C:\\Games\\Other\\Valdrenne.exe"},
        {"size query fails", L"C:\\Games\\App\\..\\Valdrenne.exe", 1, 1, "C:\\Games\\App\\..\\Valdrenne.exe"},
        {"fill fails", L"C:\\Games\\App\\..\\Valdrenne.exe", 2, 2, "C:\\Games\\App\\..\\Valdrenne.exe"},
        // No name: no full form is asked for.
        {"no name", L"", 0, 0, ""},
    };
    for (const SCase& testCase : cases)
    {
        SCOPED_TRACE(testCase.szName);
        g_wstrModuleName = testCase.wszModuleName;
        g_uiFullPathCalls = 0;
        g_uiFullPathFailingCall = testCase.uiFullPathFailingCall;
        EXPECT_EQ(testCase.szExpected, ReadExecutablePathForTesting());
        EXPECT_EQ(testCase.uiExpectedFullPathCalls, g_uiFullPathCalls);
    }
}

// Between the size query and the fill the path's full form can grow (a
// relative name and another current folder): the fill then answers with a
// size instead of a length, and what it wrote is not the path.
TEST_F(ExecutablePathSeam, FillThatDoesNotFitKeepsThePathAsItWas)
{
    const wchar_t* const wszModuleName = L"C:\\Games\\App\\..\\Valdrenne.exe";
    struct SCase
    {
        const char* szName;
        uint32_t uiOverrun;
    };
    const SCase cases[] = {
        {"needs the whole buffer and one more", 1},
        {"needs far more", 4096},
    };
    for (const SCase& testCase : cases)
    {
        SCOPED_TRACE(testCase.szName);
        g_wstrModuleName = wszModuleName;
        g_uiFullPathCalls = 0;
        g_uiFullPathFailingCall = 2;
        g_uiFullPathOverrun = testCase.uiOverrun;
        EXPECT_EQ(WideToUtf8(wszModuleName), ReadExecutablePathForTesting());
        EXPECT_EQ(2u, g_uiFullPathCalls);
    }
}

TEST_F(ExecutablePathSeam, CachedPathIsNotReadAgain)
{
    const SString strCached = GetExecutablePath();
    g_wstrModuleName = L"C:\\elsewhere.exe";
    EXPECT_EQ(strCached, GetExecutablePath());
    EXPECT_TRUE(g_ModuleNameSizes.empty());
}
} // namespace
