// Started by the tests under other names and in other folders: prints what
// this process knows about itself, one "key=value" line each.
#include "SharedUtil.Module.Win32.h"
#include "SharedUtil.ProcessTag.Win32.Seam.h"
#include "SharedUtil.ProcessTag.Win32.h"
#include "SharedUtil.Windows.h"

#include <cstdio>

using namespace SharedUtil;

int main()
{
    const SString strTag = GetProcessLogTag();
    const SString strTagAgain = GetProcessLogTag();
    const SProcessTagCounters counters = GetProcessTagCountersForTesting();
    std::printf("tag=%s\n", strTag.c_str());
    std::printf("tag-again=%s\n", strTagAgain.c_str());
    std::printf("pid=%lu\n", static_cast<unsigned long>(GetCurrentProcessId()));
    std::printf("role-tests=%u\n", counters.uiRoleTests);
    std::printf("snapshots=%u\n", counters.uiSnapshots);
    std::printf("path=%s\n", GetExecutablePath().c_str());
    return 0;
}
