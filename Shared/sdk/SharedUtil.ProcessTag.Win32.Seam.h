#pragma once

#include <cstdint>

// What tests read of the process tag's caches, which they cannot see
// otherwise. Shipping code never calls it.
namespace SharedUtil
{
// How often the role test and the process snapshot have run in this process;
// each runs at most once.
struct SProcessTagCounters
{
    uint32_t uiRoleTests = 0;
    uint32_t uiSnapshots = 0;
};
SProcessTagCounters GetProcessTagCountersForTesting();
} // namespace SharedUtil
