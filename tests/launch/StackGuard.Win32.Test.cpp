// The shipped images' stack guard (launch/image/StackGuard.cpp), in a probe
// program that starts as the launcher does but has no load configuration
// (fixtures/StackGuardProbe.cpp): the guard its entry point seeds, and how a
// failed check ends the process. The guard the system loader seeds in the
// launcher itself is read by the launch tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "SharedUtil.Encoding.h"
#include "support/FaultDelivery.h"
#include "support/FileBytes.h"
#include "support/TempFolder.h"
#include "support/Win32TestSupport.Win32.h"

using namespace TestSupport;

namespace
{
constexpr DWORD PROBE_TIMEOUT_MS = 60000;
#if defined(__x86_64__)
constexpr std::uint64_t DEFAULT_GUARD = 0x00002B992DDFA232;
#else
constexpr std::uint64_t DEFAULT_GUARD = 0xBB40E64E;
#endif

std::wstring ProbePath()
{
    return GetBinDirectory() + L"\\fixtures\\stack_guard_probe.exe";
}

class StackGuardTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
#if !defined(__clang__)
        GTEST_SKIP() << "the GCC builds keep libssp's guard";
#endif
    }

    // The guard of one start of the probe.
    std::uint64_t ReadProbeGuard(const wchar_t* wszName)
    {
        const std::wstring wstrFile = m_temp.GetPath() + L"\\" + wszName;
        SChildResult result = RunChild(ProbePath(), L"guard \"" + wstrFile + L"\"", PROBE_TIMEOUT_MS);
        EXPECT_TRUE(result.bFinished);
        EXPECT_EQ(0u, result.dwExitCode);
        return std::stoull(ReadBytesFromFile(wstrFile), nullptr, 16);
    }

    CTempFolder m_temp;
};
} // namespace

TEST_F(StackGuardTest, AGuardTheLoaderLeftAtTheDefaultIsSeededAtEntryAndDiffersBetweenStarts)
{
    const std::uint64_t uiFirst = ReadProbeGuard(L"first.txt");
    const std::uint64_t uiSecond = ReadProbeGuard(L"second.txt");

    EXPECT_NE(DEFAULT_GUARD, uiFirst);
    EXPECT_NE(DEFAULT_GUARD, uiSecond);
    EXPECT_NE(uiFirst, uiSecond);
}

// No handler runs and the process ends as the platform's own images do.
TEST_F(StackGuardTest, AFailedCheckEndsTheProcessByFastFail)
{
    SKIP_WHERE_FAULTS_ARE_EMULATED();
    struct SCase
    {
        const wchar_t* wszArguments;
        DWORD dwExitCode;
    };
    const SCase cases[] = {
        {L"overrun 64", STATUS_STACK_BUFFER_OVERRUN},
        {L"fortified 64", STATUS_STACK_BUFFER_OVERRUN},
        // Within the buffer: the checks pass and the probe returns.
        {L"overrun 16", 0},
        {L"fortified 16", 0},
    };
    for (const SCase& c : cases)
    {
        SCOPED_TRACE(testing::Message() << SharedUtil::WideToUtf8(c.wszArguments));
        SChildResult result = RunChild(ProbePath(), c.wszArguments, PROBE_TIMEOUT_MS);
        EXPECT_TRUE(result.bFinished);
        EXPECT_EQ(c.dwExitCode, result.dwExitCode);
    }
}
