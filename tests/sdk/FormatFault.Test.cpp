#include <gtest/gtest.h>

#include "SString.Seam.h"
#include "SString.h"
#include "SharedUtil.FaultTrap.h"
#include "support/FaultDelivery.h"
#include "support/ScopedOverride.h"
#include "support/TestThread.h"

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

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
    std::vector<TestSupport::CTestThread> threads;
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
    for (TestSupport::CTestThread& thread : threads)
        thread.Join();
    for (int iThread = 0; iThread < THREAD_COUNT; ++iThread)
    {
        SCOPED_TRACE(iThread);
        EXPECT_EQ(FAULTS_PER_THREAD, trappedCounts[iThread]);
    }
}

#ifndef _WIN32
namespace
{
enum EHandlerKind
{
    HANDLER_OTHER,
    HANDLER_WITH_INFO,
    HANDLER_PLAIN,
};

// What the handler that was installed before the trap's saw.
volatile sig_atomic_t g_iSeenSignal = 0;
volatile sig_atomic_t g_iSeenKind = HANDLER_OTHER;
volatile sig_atomic_t g_iSeenInfoSignal = 0;

void RecordWithInfo(int iSignal, siginfo_t* pInfo, void*)
{
    g_iSeenSignal = iSignal;
    g_iSeenKind = HANDLER_WITH_INFO;
    g_iSeenInfoSignal = pInfo->si_signo;
}

void RecordPlain(int iSignal)
{
    g_iSeenSignal = iSignal;
    g_iSeenKind = HANDLER_PLAIN;
}

struct sigaction MakeRecordingAction(EHandlerKind eKind)
{
    struct sigaction action = {};
    sigemptyset(&action.sa_mask);
    if (eKind == HANDLER_WITH_INFO)
    {
        action.sa_sigaction = RecordWithInfo;
        action.sa_flags = SA_SIGINFO;
    }
    else
        action.sa_handler = RecordPlain;
    return action;
}

EHandlerKind GetInstalledKind(int iSignal)
{
    struct sigaction action = {};
    sigaction(iSignal, nullptr, &action);
    if ((action.sa_flags & SA_SIGINFO) && action.sa_sigaction == RecordWithInfo)
        return HANDLER_WITH_INFO;
    if (!(action.sa_flags & SA_SIGINFO) && action.sa_handler == RecordPlain)
        return HANDLER_PLAIN;
    return HANDLER_OTHER;
}

// Sets a signal's action for its lifetime and puts the one before back.
class CScopedSignalAction
{
public:
    CScopedSignalAction(int iSignal, const struct sigaction& action) : m_iSignal(iSignal)
    {
        sigaction(iSignal, &action, &m_previous);
    }
    ~CScopedSignalAction() { sigaction(m_iSignal, &m_previous, nullptr); }
    CScopedSignalAction(const CScopedSignalAction&) = delete;
    CScopedSignalAction& operator=(const CScopedSignalAction&) = delete;

private:
    int m_iSignal;
    struct sigaction m_previous;
};

// raise() delivers to the calling thread, which here has no trap armed.
void RaiseOnAnotherThread(void* pContext)
{
    const int iSignal = *static_cast<const int*>(pContext);
    TestSupport::CTestThread([iSignal] { std::raise(iSignal); }).Join();
}

constexpr unsigned int FAULT_LOOP_DEADLINE_SECONDS = 10;

void FaultOnAnotherThread(void*)
{
    TestSupport::CTestThread([] { *g_pBadAddress = 1; }).Join();
}
} // namespace

TEST(FaultTrap, SignalOfAThreadWithoutATrapGoesToTheHandlerInstalledBefore)
{
    // The other fault signal has the other kind of handler, so that a signal
    // handed to the wrong one shows.
    struct
    {
        const char* szName;
        int iSignal;
        EHandlerKind eSegvKind;
        EHandlerKind eBusKind;
        EHandlerKind eExpectedKind;
    } const cases[] = {
        {"SIGSEGV, handler with info", SIGSEGV, HANDLER_WITH_INFO, HANDLER_PLAIN, HANDLER_WITH_INFO},
        {"SIGSEGV, plain handler", SIGSEGV, HANDLER_PLAIN, HANDLER_WITH_INFO, HANDLER_PLAIN},
        {"SIGBUS, handler with info", SIGBUS, HANDLER_PLAIN, HANDLER_WITH_INFO, HANDLER_WITH_INFO},
        {"SIGBUS, plain handler", SIGBUS, HANDLER_WITH_INFO, HANDLER_PLAIN, HANDLER_PLAIN},
    };
    for (const auto& test : cases)
    {
        SCOPED_TRACE(test.szName);
        g_iSeenSignal = 0;
        g_iSeenKind = HANDLER_OTHER;
        g_iSeenInfoSignal = 0;
        {
            CScopedSignalAction segvAction(SIGSEGV, MakeRecordingAction(test.eSegvKind));
            CScopedSignalAction busAction(SIGBUS, MakeRecordingAction(test.eBusKind));
            int iSignal = test.iSignal;
            EXPECT_TRUE(SharedUtil::RunTrappingFaults(RaiseOnAnotherThread, &iSignal));
            EXPECT_EQ(test.iSignal, g_iSeenSignal);
            EXPECT_EQ(test.eExpectedKind, g_iSeenKind);
            EXPECT_EQ(test.eExpectedKind == HANDLER_WITH_INFO ? test.iSignal : 0, g_iSeenInfoSignal);
            // The trap's handler is gone again once the last trap is left.
            EXPECT_EQ(test.eSegvKind, GetInstalledKind(SIGSEGV));
            EXPECT_EQ(test.eBusKind, GetInstalledKind(SIGBUS));
        }
    }
}

TEST(FaultTrapDeathTest, FaultOfAThreadWithoutATrapEndsTheProcessWhenNothingHandledItBefore)
{
    struct
    {
        const char* szName;
        void (*pfnBefore)(int);
    } const cases[] = {
        {"default action", SIG_DFL},
        // A fault cannot be ignored: the faulting instruction would run again forever.
        {"ignored", SIG_IGN},
    };
    for (const auto& test : cases)
    {
        SCOPED_TRACE(test.szName);
        // Only the child that dies sees the changed action. A child caught
        // faulting again and again is ended by the alarm instead.
        EXPECT_EXIT(
            {
                alarm(FAULT_LOOP_DEADLINE_SECONDS);
                struct sigaction before = {};
                before.sa_handler = test.pfnBefore;
                sigemptyset(&before.sa_mask);
                sigaction(SIGSEGV, &before, nullptr);
                SharedUtil::RunTrappingFaults(FaultOnAnotherThread, nullptr);
            },
            ::testing::KilledBySignal(SIGSEGV), "");
    }
}
#endif
