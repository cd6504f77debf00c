#pragma once

#include <cstdint>

#include "SString.h"

// Which process wrote a report line: its own id, or its parent's and its own
// when it runs as the game executable.
namespace SharedUtil
{
// Windows only. The tag, computed on first use and then kept: "%05d" of the
// process id, or "%05d-%05d" of the parent's id and the own id for the game.
SString GetProcessLogTag();

// Windows only. Whether this process runs as the game; decided on first use.
bool IsGameProcess();

// The role test on an executable path: a file name ending in gta_sa.exe is the
// game, one ending in Valdrenne.exe is not, and any other is the game when its
// folder holds models\gta3.img or data\gta.dat.
bool IsGameExecutable(const SString& strExecutablePath);

// Windows only. How often the role test and the process snapshot have run in
// this process; each runs at most once.
struct SProcessTagCounters
{
    uint32_t uiRoleTests = 0;
    uint32_t uiSnapshots = 0;
};
SProcessTagCounters GetProcessTagCounters();
} // namespace SharedUtil
