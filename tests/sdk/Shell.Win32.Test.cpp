#include <gtest/gtest.h>

#include "SharedUtil.Encoding.h"
#include "SharedUtil.Shell.Win32.h"
#include "support/Desktop.Win32.h"
#include "support/TestThread.h"
#include "support/Win32TestSupport.Win32.h"

#include <atomic>
#include <string>

using namespace SharedUtil;
using namespace TestSupport;

namespace
{
constexpr const wchar_t* SLEEPER_FILE_NAME = L"sleeper.exe";
constexpr DWORD SLEEP_MS = 2000;
// Timer granularity either side of the sleep, and process start-up after it.
constexpr ULONGLONG SLEEP_TOLERANCE_MS = 100;
constexpr ULONGLONG SLEEP_UPPER_LIMIT_MS = SLEEP_MS + 15000;
constexpr DWORD RECORD_TIMEOUT_MS = 30000;

DWORD GetOwnHandleCount()
{
    DWORD dwCount = 0;
    GetProcessHandleCount(GetCurrentProcess(), &dwCount);
    return dwCount;
}

// Answers the error boxes the shell shows for a request it cannot carry out,
// as a user would, while the object lives.
class CErrorBoxAnswerer
{
public:
    CErrorBoxAnswerer()
        : m_Thread(
              [this]
              {
                  while (!m_bStop)
                  {
                      const SMessageBox box = WaitForMessageBox(GetCurrentProcessId(), POLL_INTERVAL_MS);
                      if (!box.hWnd)
                          continue;
                      PressMessageBoxButton(box, IDOK);
                      Sleep(POLL_INTERVAL_MS);
                  }
              })
    {
    }
    ~CErrorBoxAnswerer()
    {
        m_bStop = true;
        m_Thread.Join();
    }
    CErrorBoxAnswerer(const CErrorBoxAnswerer&) = delete;
    CErrorBoxAnswerer& operator=(const CErrorBoxAnswerer&) = delete;

private:
    std::atomic<bool> m_bStop = false;
    TestSupport::CTestThread m_Thread;
};

class ShellLaunchTest : public testing::Test
{
protected:
    // The address reached the stand-in browser, started by a process other
    // than this one: the URL handler in between.
    void ExpectOpenedThroughUrlHandler(const std::string& strUrl)
    {
        const std::optional<SUrlRecord> record = m_Browser.WaitForRecord(RECORD_TIMEOUT_MS);
        ASSERT_TRUE(record.has_value());
        EXPECT_EQ(strUrl, record->strUrl);
        EXPECT_NE(0u, record->dwParentId);
        EXPECT_NE(GetCurrentProcessId(), record->dwParentId);
    }

    CUrlRecorderAsBrowser m_Browser;
};
} // namespace

TEST_F(ShellLaunchTest, HttpsAddressReachesTheBrowserThroughTheUrlHandler)
{
    const std::string strUrl = "https://help.valdrenne.invalid/vd/trouble/?v=1%2&id=a b&tr=x";
    EXPECT_TRUE(ShellLaunch(false, "open", strUrl, "", "", SW_SHOWNORMAL));
    ExpectOpenedThroughUrlHandler(strUrl);
}

TEST_F(ShellLaunchTest, AnyCaseOfTheSchemeTakesTheSameRoute)
{
    const std::string strUrl = "HTTPS://help.valdrenne.invalid/Case";
    EXPECT_TRUE(ShellLaunch(false, "open", strUrl, "", "", SW_SHOWNORMAL));
    ExpectOpenedThroughUrlHandler(strUrl);
}

TEST_F(ShellLaunchTest, WaitingCallReturnsWhenTheProgramHasEnded)
{
    const DWORD dwHandlesBefore = GetOwnHandleCount();
    const ULONGLONG ullStart = GetTickCount64();
    const bool bResult = ShellLaunch(true, "open", WideToUtf8(GetHelperPath(SLEEPER_FILE_NAME)),
                                     std::to_string(SLEEP_MS), "", SW_SHOWNORMAL);
    const ULONGLONG ullElapsed = GetTickCount64() - ullStart;
    EXPECT_TRUE(bResult);
    EXPECT_GE(ullElapsed + SLEEP_TOLERANCE_MS, SLEEP_MS);
    EXPECT_LT(ullElapsed, SLEEP_UPPER_LIMIT_MS);
    // The process handle the shell gave back has been closed again.
    EXPECT_EQ(dwHandlesBefore, GetOwnHandleCount());
}

TEST_F(ShellLaunchTest, WaitingCallOnAnHttpsAddressWaitsForTheUrlHandler)
{
    const std::string strUrl = "https://help.valdrenne.invalid/wait";
    EXPECT_TRUE(ShellLaunch(true, "open", strUrl, "", "", SW_SHOWNORMAL));
    ExpectOpenedThroughUrlHandler(strUrl);
}

TEST_F(ShellLaunchTest, MissingFileIsRefused)
{
    const SString strMissing = WideToUtf8(GetHelperPath(L"no-such-program.exe"));
    CErrorBoxAnswerer answerer;
    for (bool bWait : {false, true})
    {
        SCOPED_TRACE(bWait);
        EXPECT_FALSE(ShellLaunch(bWait, "open", strMissing, "", "", SW_SHOWNORMAL));
    }
}
