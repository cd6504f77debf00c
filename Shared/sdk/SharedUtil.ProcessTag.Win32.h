#pragma once

#include <cstdint>

#include "SString.h"
#include "SharedUtil.ProcessTag.h"
#include "SharedUtil.Windows.h"

namespace SharedUtil
{
// The tag, computed on first use and then kept: "%05d" of the process id, or
// "%05d-%05d" of the parent's id and the own id for the game.
SString GetProcessLogTag();

// Whether this process runs as the game; decided on first use.
bool IsGameProcess();

// How often the role test and the process snapshot have run in this process;
// each runs at most once. For tests, which cannot see the caches otherwise.
struct SProcessTagCounters
{
    uint32_t uiRoleTests = 0;
    uint32_t uiSnapshots = 0;
};
SProcessTagCounters GetProcessTagCountersForTesting();
} // namespace SharedUtil
