#include "SharedUtil.FaultTrap.h"

#include "SharedUtil.ExceptionList.Win32.h"
#include "SharedUtil.LastError.Win32.h"

// mingw's GCC has no __try: a vectored handler sees the access violation
// first, and when this thread has armed a trap it resumes the thread in a
// function that jumps back to where the trap was set.
namespace
{
// __builtin_setjmp rather than the runtime's setjmp: msvcrt's longjmp unwinds
// the frames it leaves (through the unwind tables on x86_64, the SEH chain on
// i386), and a thread resumed by hand after a fault may stand where no unwind
// can walk. The builtin only puts back the frame and stack pointers and jumps
// to the resume address; its buffer is the five words GCC documents.
constexpr int JUMP_BUFFER_WORDS = 5;
// AddVectoredExceptionHandler: ahead of any handler installed before.
constexpr ULONG CALL_FIRST = 1;
#if defined(__x86_64__)
// At a function's entry the stack is 16-byte aligned less the return address.
constexpr DWORD64 STACK_ALIGNMENT = 16;
constexpr DWORD64 RETURN_ADDRESS_SIZE = sizeof(void*);
#endif

struct STrap
{
    void* jumpBuffer[JUMP_BUFFER_WORDS];
    volatile bool bArmed;
    void* pPreviousTrap;
#if defined(__i386__)
    EXCEPTION_REGISTRATION_RECORD* pExceptionList;
#endif
};

DWORD g_dwTrapSlot = TLS_OUT_OF_INDEXES;

// The trap slot is touched on paths where a caller's last error still
// matters, and TlsGetValue resets it.
void* GetThreadTrap()
{
    const SharedUtil::CLastErrorKeeper keepLastError;
    return TlsGetValue(g_dwTrapSlot);
}

void SetThreadTrap(void* pTrap)
{
    const SharedUtil::CLastErrorKeeper keepLastError;
    TlsSetValue(g_dwTrapSlot, pTrap);
}

// Runs in place of the faulting instruction, on the faulting thread's stack.
[[noreturn]] __attribute__((noinline)) void ResumeAfterFault()
{
    STrap* pTrap = static_cast<STrap*>(GetThreadTrap());
    __builtin_longjmp(pTrap->jumpBuffer, 1);
}

LONG CALLBACK OnException(EXCEPTION_POINTERS* pInfo)
{
    if (pInfo->ExceptionRecord->ExceptionCode != EXCEPTION_ACCESS_VIOLATION)
        return EXCEPTION_CONTINUE_SEARCH;
    STrap* pTrap = static_cast<STrap*>(GetThreadTrap());
    if (!pTrap || !pTrap->bArmed)
        return EXCEPTION_CONTINUE_SEARCH;

    // Disarmed first: a fault on the way back is not this trap's business.
    pTrap->bArmed = false;
    CONTEXT* pContext = pInfo->ContextRecord;
#if defined(__x86_64__)
    pContext->Rip = reinterpret_cast<DWORD64>(&ResumeAfterFault);
    pContext->Rsp = (pContext->Rsp & ~(STACK_ALIGNMENT - 1)) - RETURN_ADDRESS_SIZE;
#else
    pContext->Eip = reinterpret_cast<DWORD>(&ResumeAfterFault);
#endif
    return EXCEPTION_CONTINUE_EXECUTION;
}

bool InstallExceptionHandler()
{
    static const bool bInstalled = []
    {
        const SharedUtil::CLastErrorKeeper keepLastError;
        g_dwTrapSlot = TlsAlloc();
        return g_dwTrapSlot != TLS_OUT_OF_INDEXES && AddVectoredExceptionHandler(CALL_FIRST, OnException);
    }();
    return bInstalled;
}
} // namespace

namespace SharedUtil
{
bool RunTrappingFaults(TrappedFunction pfnGuarded, void* pContext)
{
    // Without the handler nothing can be trapped; the code still runs.
    if (!InstallExceptionHandler())
    {
        pfnGuarded(pContext);
        return true;
    }

    STrap trap;
    trap.bArmed = false;
    trap.pPreviousTrap = GetThreadTrap();
#if defined(__i386__)
    // The chain of SEH frames may point into the abandoned stack afterwards.
    trap.pExceptionList = GetExceptionList();
#endif
    SetThreadTrap(&trap);

    bool bCompleted = true;
    if (__builtin_setjmp(trap.jumpBuffer) == 0)
    {
        trap.bArmed = true;
        pfnGuarded(pContext);
        trap.bArmed = false;
    }
    else
    {
#if defined(__i386__)
        SetExceptionList(trap.pExceptionList);
#endif
        bCompleted = false;
    }
    SetThreadTrap(trap.pPreviousTrap);
    return bCompleted;
}
} // namespace SharedUtil
