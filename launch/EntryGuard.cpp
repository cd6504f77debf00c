#include "EntryGuard.h"

#include <csignal>
#include <cstdlib>

#include "LaunchIds.h"
#include "SharedUtil.ExceptionList.Win32.h"
#include "SharedUtil.ReportLog.Win32.h"
#include "SharedUtil.Terminate.Win32.h"

using namespace SharedUtil;

namespace Launch
{
namespace
{
// RaiseException code of a C++ throw compiled by the Microsoft compilers.
// GCC's own (0x20474343, x86_64 only) is left to CallLoaderEntry's catch,
// which unwinds the loader's frames properly.
constexpr DWORD MSVC_CPP_EXCEPTION = 0xE06D7363;
constexpr DWORD UNWIND_FLAGS = EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND;

volatile std::sig_atomic_t g_bEntryRunning = 0;

// Marks the span of DoWinMain, also when an exception that the launcher's
// catch takes leaves it.
class CEntryRunning
{
public:
    CEntryRunning() { g_bEntryRunning = 1; }
    ~CEntryRunning() { g_bEntryRunning = 0; }
    CEntryRunning(const CEntryRunning&) = delete;
    CEntryRunning& operator=(const CEntryRunning&) = delete;
};

void EndHandOff()
{
    // Not ExitProcess: that would run the loader's detach code on a state its
    // abandoned frames left behind.
    TerminateCurrentProcess(static_cast<UINT>(EExitCode::HANDOFF_FAILED));
}

void OnAbortSignal(int)
{
    if (g_bEntryRunning)
        ReportEntryException();
    EndHandOff();
}
} // namespace

// Called by the system's exception dispatch for the guarded frame, after the
// handlers of every frame inside it declined the exception; with the
// system's calling convention, which the frame's handler type carries. On
// i386 the image's SafeSEH table lists it (launch/image/LoadConfig.cpp).
extern "C" EXCEPTION_DISPOSITION NTAPI LaunchEntryEscapeHandler(PEXCEPTION_RECORD pRecord, PVOID, PCONTEXT, PVOID)
{
    if (!(pRecord->ExceptionFlags & UNWIND_FLAGS) && pRecord->ExceptionCode == MSVC_CPP_EXCEPTION)
    {
        ReportEntryException();
        EndHandOff();
    }
    return ExceptionContinueSearch;
}

void ReportEntryException()
{
    WriteReportLog(REPORT_ENTRY_EXCEPTION, "Launcher Main: Exception in DoWinMain");
}

void SetSilentAbort()
{
    // msvcrt, the runtime this program is linked to (Windows' own msvcrt.dll
    // too), has no _set_abort_behavior. Its abort() writes its message, to
    // standard error rather than in a box once told so, then raises SIGABRT,
    // whose handler here never returns: no fault is reported.
    _set_error_mode(_OUT_TO_STDERR);
    std::signal(SIGABRT, OnAbortSignal);
}

#if defined(__x86_64__)
// x86_64 finds exception handlers through the unwind tables, so the frame
// that holds ours is a function written with its unwind data: it passes its
// last four arguments on to the entry point (the fifth from the caller's
// stack). Its frame: 32 bytes of shadow space, where the entry point may
// keep its four register arguments, and 8 more so that the stack, which
// stands 8 past a 16-byte boundary on entry (the return address), is on one
// at the call: 40. The fifth argument lies past this frame, the return
// address and the caller's shadow space for our four: 40 + 8 + 32 = 80.
// The entry point's address comes from another module at run time, so the
// call goes through control-flow guard's dispatch (target in rax), which
// checks it and jumps to it, as the compiler's own indirect calls do; the
// pointer exists in every build (launch/image/GuardCheck.cpp).
extern "C" int LaunchCallEntryThunk(PFN_DoWinMain pfnEntry, HINSTANCE hInstance, HINSTANCE hPrevInstance,
                                    char* szCmdLine, int nCmdShow);
asm(R"(
    .text
    .globl LaunchCallEntryThunk
    .def LaunchCallEntryThunk; .scl 2; .type 32; .endef
    .seh_proc LaunchCallEntryThunk
LaunchCallEntryThunk:
    .seh_handler LaunchEntryEscapeHandler, @except
    subq $40, %rsp
    .seh_stackalloc 40
    .seh_endprologue
    movq %rcx, %rax
    movq %rdx, %rcx
    movq %r8, %rdx
    movq %r9, %r8
    movl 80(%rsp), %r9d
    callq *__guard_dispatch_icall_fptr(%rip)
    nop
    addq $40, %rsp
    retq
    .seh_endproc
)");

int CallEntryGuarded(PFN_DoWinMain pfnEntry, HINSTANCE hInstance, HINSTANCE hPrevInstance, char* szCmdLine,
                     int nCmdShow)
{
    CEntryRunning entryRunning;
    return LaunchCallEntryThunk(pfnEntry, hInstance, hPrevInstance, szCmdLine, nCmdShow);
}
#elif defined(__i386__)
namespace
{
// Our frame at the head of the thread's chain of handler frames, for the life
// of the object.
class CHandlerFrame
{
public:
    CHandlerFrame()
    {
        m_frame.Next = SharedUtil::GetExceptionList();
        m_frame.Handler = LaunchEntryEscapeHandler;
        SharedUtil::SetExceptionList(&m_frame);
    }
    ~CHandlerFrame() { SharedUtil::SetExceptionList(m_frame.Next); }
    CHandlerFrame(const CHandlerFrame&) = delete;
    CHandlerFrame& operator=(const CHandlerFrame&) = delete;

private:
    EXCEPTION_REGISTRATION_RECORD m_frame;
};
} // namespace

int CallEntryGuarded(PFN_DoWinMain pfnEntry, HINSTANCE hInstance, HINSTANCE hPrevInstance, char* szCmdLine,
                     int nCmdShow)
{
    CHandlerFrame handlerFrame;
    CEntryRunning entryRunning;
    return pfnEntry(hInstance, hPrevInstance, szCmdLine, nCmdShow);
}
#else
#error "no structured exception frame for this processor"
#endif
} // namespace Launch
