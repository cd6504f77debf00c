#pragma once

#include "SharedUtil.Windows.h"

namespace Launch
{
using PFN_DoWinMain = int(__cdecl*)(HINSTANCE hInstance, HINSTANCE hPrevInstance, char* szCmdLine, int nCmdShow);

// Makes abort() silent in the C runtime this program runs on: no message
// box, no fault report, exit code 3. An abort during CallEntryGuarded is
// reported as an exception in DoWinMain first. Called once, at start.
void SetSilentAbort();

// Calls DoWinMain inside a structured exception handler frame. Only what
// escapes the loader's own handlers reaches it: a C++ exception of the
// Microsoft compilers there, or an abort() while DoWinMain runs (how a GCC
// exception that cannot reach this program's unwinder ends on i686), writes
// line 5722 and ends the process with exit code 3 at once: the loader's
// frames were not unwound, so neither its detach code nor COM's clean-up is
// safe to run. Processor faults pass on to the system.
int CallEntryGuarded(PFN_DoWinMain pfnEntry, HINSTANCE hInstance, HINSTANCE hPrevInstance, char* szCmdLine,
                     int nCmdShow);

// Writes line 5722: an exception escaped DoWinMain.
void ReportEntryException();
} // namespace Launch
