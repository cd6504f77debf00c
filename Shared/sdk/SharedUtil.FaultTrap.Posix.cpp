#include "SharedUtil.FaultTrap.h"

#include <csetjmp>
#include <csignal>
#include <cstddef>
#include <iterator>
#include <mutex>

// A fault is a signal here: while any thread runs guarded code, a handler for
// the fault signals jumps back to the trap of the faulting thread, and hands
// every other fault to the handler that was there before.
namespace
{
constexpr int FAULT_SIGNALS[] = {SIGSEGV, SIGBUS};
constexpr std::size_t FAULT_SIGNAL_COUNT = std::size(FAULT_SIGNALS);
// sigsetjmp's flag to save the signal mask, so that the jump back unblocks
// the signal the handler was running for.
constexpr int SAVE_SIGNAL_MASK = 1;

struct STrap
{
    sigjmp_buf jumpBuffer;
    volatile sig_atomic_t bArmed;
    STrap* pPreviousTrap;
};

thread_local STrap* t_pTrap = nullptr;

std::mutex g_handlerMutex;
unsigned int g_uiHandlerUsers = 0;
struct sigaction g_previousActions[FAULT_SIGNAL_COUNT];

void ForwardToPreviousHandler(int iSignal, siginfo_t* pInfo, void* pUserContext)
{
    for (std::size_t uiIndex = 0; uiIndex < FAULT_SIGNAL_COUNT; ++uiIndex)
    {
        if (FAULT_SIGNALS[uiIndex] != iSignal)
            continue;
        const struct sigaction& previous = g_previousActions[uiIndex];
        if (previous.sa_flags & SA_SIGINFO)
            previous.sa_sigaction(iSignal, pInfo, pUserContext);
        else if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN)
            previous.sa_handler(iSignal);
        else
        {
            // Returning re-runs the faulting instruction, which now ends the
            // process the default way.
            struct sigaction defaultAction = {};
            defaultAction.sa_handler = SIG_DFL;
            sigaction(iSignal, &defaultAction, nullptr);
        }
        return;
    }
}

void OnFaultSignal(int iSignal, siginfo_t* pInfo, void* pUserContext)
{
    STrap* pTrap = t_pTrap;
    if (pTrap && pTrap->bArmed)
    {
        pTrap->bArmed = 0;
        siglongjmp(pTrap->jumpBuffer, 1);
    }
    ForwardToPreviousHandler(iSignal, pInfo, pUserContext);
}

// The first user installs the handler, the last one puts the previous ones back.
// sigaction fails only for a signal that is invalid or cannot be caught, which
// the fault signals are not.
void AcquireFaultHandler()
{
    std::lock_guard<std::mutex> lock(g_handlerMutex);
    if (g_uiHandlerUsers == 0)
    {
        struct sigaction action = {};
        action.sa_sigaction = OnFaultSignal;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        for (std::size_t uiIndex = 0; uiIndex < FAULT_SIGNAL_COUNT; ++uiIndex)
            sigaction(FAULT_SIGNALS[uiIndex], &action, &g_previousActions[uiIndex]);
    }
    ++g_uiHandlerUsers;
}

void ReleaseFaultHandler()
{
    std::lock_guard<std::mutex> lock(g_handlerMutex);
    if (--g_uiHandlerUsers == 0)
    {
        for (std::size_t uiIndex = 0; uiIndex < FAULT_SIGNAL_COUNT; ++uiIndex)
            sigaction(FAULT_SIGNALS[uiIndex], &g_previousActions[uiIndex], nullptr);
    }
}
} // namespace

namespace SharedUtil
{
bool RunTrappingFaults(TrappedFunction pfnGuarded, void* pContext)
{
    AcquireFaultHandler();

    STrap trap;
    trap.bArmed = 0;
    trap.pPreviousTrap = t_pTrap;
    t_pTrap = &trap;

    bool bCompleted = true;
    if (sigsetjmp(trap.jumpBuffer, SAVE_SIGNAL_MASK) == 0)
    {
        trap.bArmed = 1;
        pfnGuarded(pContext);
        trap.bArmed = 0;
    }
    else
        bCompleted = false;

    t_pTrap = trap.pPreviousTrap;
    ReleaseFaultHandler();
    return bCompleted;
}
} // namespace SharedUtil
