#pragma once

#include "SharedUtil.Windows.h"

namespace SharedUtil
{
// Ends this process at once with uiExitCode, as TerminateProcess does: no
// exit handlers and no module detach code run. In a build with coverage
// counters the counts are written first, since nothing else would.
void TerminateCurrentProcess(UINT uiExitCode);
} // namespace SharedUtil
