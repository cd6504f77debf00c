#include "SharedUtil.Terminate.Win32.h"

#if defined(VALDRENNE_COVERAGE)
// libgcov writes its counts from an exit handler, which TerminateProcess
// skips.
extern "C" void __gcov_dump(void);
#endif

namespace SharedUtil
{
void TerminateCurrentProcess(UINT uiExitCode)
{
#if defined(VALDRENNE_COVERAGE)
    __gcov_dump();
#endif
    TerminateProcess(GetCurrentProcess(), uiExitCode);
}
} // namespace SharedUtil
