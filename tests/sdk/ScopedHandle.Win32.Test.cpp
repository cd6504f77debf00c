#include <gtest/gtest.h>

#include "SharedUtil.ScopedHandle.Win32.h"

using namespace SharedUtil;

namespace
{
constexpr DWORD LAST_ERROR_SENTINEL = 0xdeadbeef;

// Whether hEvent still names an open event: GetHandleInformation fails on a
// closed handle.
bool IsOpen(HANDLE hEvent)
{
    DWORD dwFlags = 0;
    return GetHandleInformation(hEvent, &dwFlags) != 0;
}

HANDLE MakeEvent()
{
    return CreateEventW(nullptr, TRUE, FALSE, nullptr);
}
} // namespace

TEST(ScopedHandle, ClosesAtScopeEndAndKeepsTheLastError)
{
    HANDLE hRaw = MakeEvent();
    ASSERT_NE(hRaw, nullptr);
    {
        CScopedKernelHandle hEvent(hRaw);
        EXPECT_TRUE(hEvent.IsValid());
        EXPECT_EQ(hRaw, hEvent.Get());
        SetLastError(LAST_ERROR_SENTINEL);
    }
    EXPECT_EQ(LAST_ERROR_SENTINEL, GetLastError());
    EXPECT_FALSE(IsOpen(hRaw));
}

TEST(ScopedHandle, TakeHandsOwnershipOn)
{
    HANDLE hRaw = MakeEvent();
    ASSERT_NE(hRaw, nullptr);
    HANDLE hTaken;
    {
        CScopedKernelHandle hEvent(hRaw);
        hTaken = hEvent.Take();
        EXPECT_FALSE(hEvent.IsValid());
    }
    EXPECT_EQ(hRaw, hTaken);
    EXPECT_TRUE(IsOpen(hTaken));
    CScopedKernelHandle hOwner(hTaken);
}

TEST(ScopedHandle, ResetAndMoveReleaseWhatWasHeld)
{
    HANDLE hFirst = MakeEvent();
    HANDLE hSecond = MakeEvent();
    ASSERT_NE(hFirst, nullptr);
    ASSERT_NE(hSecond, nullptr);

    CScopedKernelHandle hEvent(hFirst);
    hEvent.Reset(hSecond);
    EXPECT_FALSE(IsOpen(hFirst));
    EXPECT_EQ(hSecond, hEvent.Get());

    CScopedKernelHandle hMoved(std::move(hEvent));
    EXPECT_FALSE(hEvent.IsValid());
    EXPECT_EQ(hSecond, hMoved.Get());
    hMoved.Reset();
    EXPECT_FALSE(IsOpen(hSecond));
}

TEST(ScopedHandle, ResetClosesWhatWasHeldUnlessItIsGivenAgain)
{
    enum class ENext
    {
        HELD,
        OTHER,
        NONE,
    };
    struct SCase
    {
        const char* szName;
        ENext eNext;
        bool bHeldStaysOpen;
    };
    const SCase cases[] = {
        {"the held handle", ENext::HELD, true},
        {"another handle", ENext::OTHER, false},
        {"no handle", ENext::NONE, false},
    };
    for (const SCase& c : cases)
    {
        SCOPED_TRACE(c.szName);
        HANDLE hHeld = MakeEvent();
        HANDLE hOther = MakeEvent();
        ASSERT_NE(hHeld, nullptr);
        ASSERT_NE(hOther, nullptr);
        CScopedKernelHandle otherOwner(hOther);
        HANDLE hNext = c.eNext == ENext::HELD ? hHeld : c.eNext == ENext::OTHER ? otherOwner.Take() : nullptr;
        {
            CScopedKernelHandle hEvent(hHeld);
            hEvent.Reset(hNext);
            EXPECT_EQ(c.bHeldStaysOpen, IsOpen(hHeld));
            EXPECT_EQ(hNext, hEvent.Get());
        }
        EXPECT_FALSE(IsOpen(hHeld));
    }
}

// CreateFileW reports failure as INVALID_HANDLE_VALUE, which is also the
// pseudo-handle of the current process: closing it would be wrong.
TEST(ScopedHandle, InvalidKernelValuesAreNotHandles)
{
    for (HANDLE hValue : {static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE})
    {
        CScopedKernelHandle hHandle(hValue);
        EXPECT_FALSE(hHandle.IsValid());
        EXPECT_FALSE(static_cast<bool>(hHandle));
    }
}

TEST(LastErrorKeeper, RestoresOnScopeEnd)
{
    SetLastError(LAST_ERROR_SENTINEL);
    {
        CLastErrorKeeper keepLastError;
        SetLastError(ERROR_FILE_NOT_FOUND);
    }
    EXPECT_EQ(LAST_ERROR_SENTINEL, GetLastError());
}

TEST(ScopedHandle, OpenClipboardIsClosedAtScopeEnd)
{
    {
        const CScopedOpenClipboard clipboard(OpenClipboard(nullptr) != FALSE);
        ASSERT_TRUE(clipboard.IsValid());
    }
    // Closing fails when this thread does not have the clipboard open.
    EXPECT_FALSE(CloseClipboard());
    EXPECT_EQ(static_cast<DWORD>(ERROR_CLIPBOARD_NOT_OPEN), GetLastError());
}
