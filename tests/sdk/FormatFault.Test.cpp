#include <gtest/gtest.h>

#include "SString.Seam.h"
#include "SString.h"
#include "SharedUtil.FaultTrap.h"
#include "support/FaultDelivery.h"
#include "support/ScopedOverride.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer keeps SIGSEGV to itself unless told to let the trap have it.
extern "C" const char* __asan_default_options()
{
    return "allow_user_segv_handler=1";
}
#endif

namespace
{
// Inside the first page, which is never mapped: reading or writing it faults.
constexpr std::uintptr_t BAD_ADDRESS = 0x10;
// volatile: the compiler may neither see through it nor drop the access.
volatile char* volatile g_pBadAddress = reinterpret_cast<volatile char*>(BAD_ADDRESS);
const char* const BAD_TEXT = reinterpret_cast<const char*>(BAD_ADDRESS);

constexpr int REPEATS = 5;

int FaultWhileMeasuring(char* szBuffer, std::size_t uiBufferSize, const char* szFormat, va_list vlArgs)
{
    if (!szBuffer)
        *g_pBadAddress = 1;
    return std::vsnprintf(szBuffer, uiBufferSize, szFormat, vlArgs);
}

int FaultWhileWriting(char* szBuffer, std::size_t uiBufferSize, const char* szFormat, va_list vlArgs)
{
    if (szBuffer)
        *g_pBadAddress = 1;
    return std::vsnprintf(szBuffer, uiBufferSize, szFormat, vlArgs);
}

using TestSupport::CScopedOverride;

struct SProgress
{
    // volatile: otherwise the compiler may drop the store that precedes the fault.
    volatile int iStepsDone = 0;
};

void FaultAfterOneStep(void* pContext)
{
    static_cast<SProgress*>(pContext)->iStepsDone = 1;
    *g_pBadAddress = 1;
    static_cast<SProgress*>(pContext)->iStepsDone = 2;
}

void CompleteTwoSteps(void* pContext)
{
    static_cast<SProgress*>(pContext)->iStepsDone = 2;
}
} // namespace

TEST(FaultTrap, ReturnsTrueWhenTheGuardedCodeCompletes)
{
    SProgress progress;
    EXPECT_TRUE(SharedUtil::RunTrappingFaults(CompleteTwoSteps, &progress));
    EXPECT_EQ(2, progress.iStepsDone);
}

TEST(FaultTrap, ReturnsFalseAndKeepsWhatWasDoneBeforeTheFault)
{
    SKIP_WHERE_FAULTS_ARE_EMULATED();
    for (int iRepeat = 0; iRepeat < REPEATS; ++iRepeat)
    {
        SCOPED_TRACE(iRepeat);
        SProgress progress;
        EXPECT_FALSE(SharedUtil::RunTrappingFaults(FaultAfterOneStep, &progress));
        EXPECT_EQ(1, progress.iStepsDone);
    }
    SProgress progress;
    EXPECT_TRUE(SharedUtil::RunTrappingFaults(CompleteTwoSteps, &progress));
}

TEST(FormatFault, BadPointerForPercentSGivesTheFormatExceptionTextAndTheProcessGoesOn)
{
    SKIP_WHERE_FAULTS_ARE_EMULATED();
    for (int iRepeat = 0; iRepeat < REPEATS; ++iRepeat)
    {
        SCOPED_TRACE(iRepeat);
        EXPECT_EQ("[Format exception] Launch: '#s'", SString("Launch: '%s'", BAD_TEXT));
        EXPECT_EQ("Launch: 'qel' 7", SString("Launch: '%s' %d", "qel", 7));
    }
}

TEST(FormatFault, SetFormattedReplacesTheOldContentWithTheFormatExceptionText)
{
    SKIP_WHERE_FAULTS_ARE_EMULATED();
    SString strText("old content");
    strText.SetFormatted("%d%% of %s", 50, BAD_TEXT);
    EXPECT_EQ("[Format exception] #d## of #s", strText);
}

TEST(FormatFault, FaultInEitherPassIsTrappedAndTheScratchBufferFreed)
{
    SKIP_WHERE_FAULTS_ARE_EMULATED();
    // Natively, LeakSanitizer checks at exit that the write pass's buffer was freed.
    struct
    {
        const char* szName;
        SharedUtil::FormatPassFunction pFunction;
    } const cases[] = {
        {"measuring", FaultWhileMeasuring},
        {"writing", FaultWhileWriting},
    };
    for (const auto& test : cases)
    {
        SCOPED_TRACE(test.szName);
        {
            CScopedOverride override(SharedUtil::SetFormatPassFunction, test.pFunction);
            for (int iRepeat = 0; iRepeat < REPEATS; ++iRepeat)
                EXPECT_EQ("[Format exception] Value #d of #s", SString("Value %d of %s", 3, "four"));
        }
        EXPECT_EQ("Value 3 of four", SString("Value %d of %s", 3, "four"));
    }
}

TEST(FormatFault, ThreadsTrapTheirOwnFaults)
{
    SKIP_WHERE_FAULTS_ARE_EMULATED();
    constexpr int THREAD_COUNT = 4;
    constexpr int FAULTS_PER_THREAD = 20;
    std::vector<int> trappedCounts(THREAD_COUNT, 0);
    std::vector<std::thread> threads;
    for (int iThread = 0; iThread < THREAD_COUNT; ++iThread)
    {
        threads.emplace_back(
            [iThread, &trappedCounts]
            {
                for (int iFault = 0; iFault < FAULTS_PER_THREAD; ++iFault)
                {
                    if (SString("%d: %s", iThread, BAD_TEXT) == "[Format exception] #d: #s" &&
                        SString("%d", iThread) == std::to_string(iThread))
                        ++trappedCounts[iThread];
                }
            });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (int iThread = 0; iThread < THREAD_COUNT; ++iThread)
    {
        SCOPED_TRACE(iThread);
        EXPECT_EQ(FAULTS_PER_THREAD, trappedCounts[iThread]);
    }
}
