#include <gtest/gtest.h>

#include "SharedUtil.Clipboard.Win32.Seam.h"
#include "SharedUtil.Clipboard.Win32.h"
#include "SharedUtil.Encoding.h"
#include "SharedUtil.ScopedHandle.Win32.h"
#include "support/Desktop.Win32.h"
#include "support/FailingAllocation.h"
#include "support/ScopedOverride.h"
#include "support/TestThread.h"
#include "support/Win32TestSupport.Win32.h"

#include <string>
#include <vector>

using namespace SharedUtil;
using namespace TestSupport;

namespace
{
constexpr const wchar_t* CLIPBOARD_HOLDER_FILE_NAME = L"clipboard_holder.exe";
constexpr DWORD HOLDER_TIMEOUT_MS = 30000;
// A busy clipboard is given up on at once; this leaves room for a slow machine.
constexpr ULONGLONG GIVE_UP_LIMIT_MS = 2000;
constexpr const wchar_t* MARKER_TEXT = L"marker placed before";
constexpr int RACE_CALLS_PER_THREAD = 20;

// The real memory calls, observed: which blocks were allocated (and how
// large), handed to the clipboard and freed, and failures on request.
struct SMemoryLog
{
    bool bFailAlloc = false;
    // A zero-byte movable block is a discarded one, which cannot be locked.
    bool bDiscardedBlock = false;
    bool bFailSetData = false;
    std::vector<void*> allocated;
    std::vector<std::size_t> requestedBytes;
    std::vector<unsigned int> allocFlags;
    std::vector<void*> handedOver;
    std::vector<void*> freed;
};
SMemoryLog g_MemoryLog;

HGLOBAL LoggedAlloc(unsigned int uiFlags, std::size_t uiBytes)
{
    g_MemoryLog.requestedBytes.push_back(uiBytes);
    g_MemoryLog.allocFlags.push_back(uiFlags);
    if (g_MemoryLog.bFailAlloc)
        return nullptr;
    HGLOBAL hMemory = GlobalAlloc(uiFlags, g_MemoryLog.bDiscardedBlock ? 0 : uiBytes);
    g_MemoryLog.allocated.push_back(hMemory);
    return hMemory;
}

HANDLE LoggedSetData(unsigned int uiFormat, HANDLE hMemory)
{
    if (g_MemoryLog.bFailSetData)
        return nullptr;
    HANDLE hResult = SetClipboardData(uiFormat, hMemory);
    if (hResult)
        g_MemoryLog.handedOver.push_back(hMemory);
    return hResult;
}

HGLOBAL LoggedFree(HGLOBAL hMemory)
{
    g_MemoryLog.freed.push_back(hMemory);
    return GlobalFree(hMemory);
}

class Clipboard : public testing::Test
{
protected:
    void SetUp() override
    {
        g_MemoryLog = SMemoryLog();
        ASSERT_TRUE(PutTextOnClipboard(MARKER_TEXT));
    }

    static void ExpectMarkerKept()
    {
        const SClipboardText clipboard = ReadClipboardText();
        EXPECT_TRUE(clipboard.bPresent);
        EXPECT_EQ(MARKER_TEXT, UnitsToWide(clipboard.units));
    }

    static void ExpectEmptied()
    {
        const SClipboardText clipboard = ReadClipboardText();
        ASSERT_TRUE(clipboard.bOpened);
        EXPECT_FALSE(clipboard.bPresent);
        EXPECT_EQ(0, clipboard.iFormatCount);
    }

    // Every block allocated was either taken by the clipboard or freed, once.
    static void ExpectNoBlockLeaked()
    {
        std::vector<void*> accounted = g_MemoryLog.handedOver;
        accounted.insert(accounted.end(), g_MemoryLog.freed.begin(), g_MemoryLog.freed.end());
        EXPECT_EQ(g_MemoryLog.allocated, accounted);
    }

private:
    CScopedOverride<GlobalAllocFunction> m_Alloc{SetGlobalAllocFunction, LoggedAlloc};
    CScopedOverride<ClipboardDataFunction> m_SetData{SetClipboardDataFunction, LoggedSetData};
    CScopedOverride<GlobalFreeFunction> m_Free{SetGlobalFreeFunction, LoggedFree};
};
} // namespace

TEST_F(Clipboard, PlacesTheTextAsUnicodeTextWithItsTerminator)
{
    struct SCase
    {
        const char* szText;
        std::vector<uint16_t> units;
        const char* szNote;
    };
    const std::vector<SCase> cases = {
        {"abc", {0x61, 0x62, 0x63}, "ascii"},
        {"\xC3\xA9", {0x00E9}, "two UTF-8 bytes, one unit"},
        {"\xE2\x82\xAC x \xF0\x9F\x98\x80", {0x20AC, 0x20, 0x78, 0x20, 0xD83D, 0xDE00}, "surrogate pair"},
        // An invalid first byte converts to nothing: an empty Unicode text is placed.
        {"\xFF", {}, "invalid UTF-8"},
    };
    for (const SCase& testCase : cases)
    {
        SCOPED_TRACE(testCase.szNote);
        g_MemoryLog = SMemoryLog();
        CopyTextToClipboard(testCase.szText);

        const std::size_t uiExpectedBytes = (testCase.units.size() + 1) * sizeof(uint16_t);
        EXPECT_EQ(std::vector<std::size_t>{uiExpectedBytes}, g_MemoryLog.requestedBytes);
        EXPECT_EQ(std::vector<unsigned int>{GMEM_MOVEABLE}, g_MemoryLog.allocFlags);
        EXPECT_EQ(g_MemoryLog.allocated, g_MemoryLog.handedOver);
        EXPECT_TRUE(g_MemoryLog.freed.empty());

        const SClipboardText clipboard = ReadClipboardText();
        ASSERT_TRUE(clipboard.bPresent);
        EXPECT_TRUE(HoldsOnlyUnicodeText(clipboard));
        EXPECT_EQ(testCase.units, clipboard.units);
        // The system may round the block up; the bytes placed come first.
        ASSERT_GE(clipboard.uiBlockSize, uiExpectedBytes);
        std::vector<uint8_t> expectedBytes;
        for (uint16_t usUnit : testCase.units)
            expectedBytes.insert(expectedBytes.end(),
                                 {static_cast<uint8_t>(usUnit), static_cast<uint8_t>(usUnit >> 8)});
        expectedBytes.insert(expectedBytes.end(), {0, 0});
        EXPECT_EQ(expectedBytes,
                  std::vector<uint8_t>(clipboard.blockBytes.begin(), clipboard.blockBytes.begin() + uiExpectedBytes));
        RecordProperty(std::string("BlockSize_") + std::to_string(uiExpectedBytes),
                       std::to_string(clipboard.uiBlockSize));
    }
}

TEST_F(Clipboard, EmptyTextLeavesTheClipboardAlone)
{
    CopyTextToClipboard("");
    EXPECT_TRUE(g_MemoryLog.requestedBytes.empty());
    ExpectMarkerKept();
}

TEST_F(Clipboard, ClipboardHeldByAnotherProgramIsGivenUpAtOnce)
{
    const std::wstring wstrSuffix = std::to_wstring(GetCurrentProcessId());
    const std::wstring wstrHeld = L"vd-clipboard-held-" + wstrSuffix;
    const std::wstring wstrRelease = L"vd-clipboard-release-" + wstrSuffix;
    const CScopedKernelHandle held(CreateEventW(nullptr, TRUE, FALSE, wstrHeld.c_str()));
    const CScopedKernelHandle release(CreateEventW(nullptr, TRUE, FALSE, wstrRelease.c_str()));
    ASSERT_TRUE(held && release);

    CChildProcess holder;
    ASSERT_TRUE(holder.Start(GetHelperPath(CLIPBOARD_HOLDER_FILE_NAME), wstrHeld + L" " + wstrRelease));
    const bool bHeld = WaitForSingleObject(held.Get(), HOLDER_TIMEOUT_MS) == WAIT_OBJECT_0;

    const ULONGLONG ullStart = GetTickCount64();
    if (bHeld)
        CopyTextToClipboard("not placed");
    const ULONGLONG ullElapsed = GetTickCount64() - ullStart;

    SetEvent(release.Get());
    const std::optional<DWORD> exitCode = holder.WaitForExit(HOLDER_TIMEOUT_MS);

    ASSERT_TRUE(bHeld);
    EXPECT_EQ(std::optional<DWORD>(0), exitCode);
    EXPECT_LT(ullElapsed, GIVE_UP_LIMIT_MS);
    EXPECT_TRUE(g_MemoryLog.requestedBytes.empty());
    ExpectMarkerKept();
}

TEST_F(Clipboard, TextAtTheLimitIsPlacedAndOneUnitMoreEmptiesTheClipboard)
{
    // The limit counts the terminator: MAX_CLIPBOARD_TEXT_UNITS - 1 text units fit.
    const SString strLongest(std::string(MAX_CLIPBOARD_TEXT_UNITS - 1, 'a'));
    CopyTextToClipboard(strLongest);
    EXPECT_EQ(std::vector<std::size_t>{MAX_CLIPBOARD_TEXT_UNITS * sizeof(uint16_t)}, g_MemoryLog.requestedBytes);
    EXPECT_EQ(g_MemoryLog.allocated, g_MemoryLog.handedOver);
    {
        const SClipboardText clipboard = ReadClipboardText();
        ASSERT_TRUE(clipboard.bPresent);
        EXPECT_EQ(MAX_CLIPBOARD_TEXT_UNITS - 1, clipboard.units.size());
    }

    ASSERT_TRUE(PutTextOnClipboard(MARKER_TEXT));
    g_MemoryLog = SMemoryLog();
    CopyTextToClipboard(SString(std::string(MAX_CLIPBOARD_TEXT_UNITS, 'a')));
    EXPECT_TRUE(g_MemoryLog.requestedBytes.empty());
    ExpectEmptied();
}

TEST_F(Clipboard, FailedAllocationEmptiesTheClipboard)
{
    g_MemoryLog.bFailAlloc = true;
    CopyTextToClipboard("abc");
    EXPECT_EQ(1u, g_MemoryLog.requestedBytes.size());
    EXPECT_TRUE(g_MemoryLog.freed.empty());
    ExpectEmptied();
}

// A block the clipboard did not take, refused or never filled because it
// could not be locked, goes back through the seam's free.
TEST_F(Clipboard, BlockNotTakenIsFreedAndTheClipboardEmpty)
{
    struct SBlockCase
    {
        const char* szCase;
        bool bFailSetData;
        bool bDiscardedBlock;
    };
    const SBlockCase cases[] = {
        {"refused by the clipboard", true, false},
        {"cannot be locked", false, true},
    };
    for (const SBlockCase& c : cases)
    {
        SCOPED_TRACE(c.szCase);
        ASSERT_TRUE(PutTextOnClipboard(MARKER_TEXT));
        g_MemoryLog = SMemoryLog();
        g_MemoryLog.bFailSetData = c.bFailSetData;
        g_MemoryLog.bDiscardedBlock = c.bDiscardedBlock;
        CopyTextToClipboard("abc");
        ASSERT_EQ(1u, g_MemoryLog.allocated.size());
        EXPECT_TRUE(g_MemoryLog.handedOver.empty());
        EXPECT_EQ(g_MemoryLog.allocated, g_MemoryLog.freed);
        ExpectNoBlockLeaked();
        ExpectEmptied();
    }
}

// The text is converted before the clipboard is opened; where that runs out
// of memory the call gives up quietly, and the next one works.
TEST_F(Clipboard, ConversionOutOfMemoryLeavesTheClipboardAlone)
{
    const SString strText = "text of more than a few characters";
    {
        CScopedFailingAllocation failing(WideTextBytes(strText.size()));
        CopyTextToClipboard(strText);
        EXPECT_TRUE(failing.HasFailed());
    }
    EXPECT_TRUE(g_MemoryLog.requestedBytes.empty());
    ExpectMarkerKept();

    CopyTextToClipboard(strText);
    EXPECT_EQ(Utf8ToWide(strText), UnitsToWide(ReadClipboardText().units));
}

TEST_F(Clipboard, CallsFromTwoThreadsDoNotInterleave)
{
    const SString strFirst = "first thread's text";
    const SString strSecond = "second thread's longer text";
    std::vector<TestSupport::CTestThread> threads;
    for (const SString* pText : {&strFirst, &strSecond})
    {
        threads.emplace_back(
            [pText]
            {
                for (int iCall = 0; iCall < RACE_CALLS_PER_THREAD; ++iCall)
                    CopyTextToClipboard(*pText);
            });
    }
    for (TestSupport::CTestThread& thread : threads)
        thread.Join();

    // Every call went through whole; the last one's text is what remains.
    EXPECT_EQ(2u * RACE_CALLS_PER_THREAD, g_MemoryLog.handedOver.size());
    ExpectNoBlockLeaked();
    const SClipboardText clipboard = ReadClipboardText();
    const std::wstring wstrText = UnitsToWide(clipboard.units);
    EXPECT_TRUE(wstrText == Utf8ToWide(strFirst) || wstrText == Utf8ToWide(strSecond));
    EXPECT_TRUE(HoldsOnlyUnicodeText(clipboard));
}
