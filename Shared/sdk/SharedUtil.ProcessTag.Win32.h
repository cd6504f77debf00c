#pragma once

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
} // namespace SharedUtil
