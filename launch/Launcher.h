#pragma once

#include "SharedUtil.Windows.h"

namespace Launch
{
// The whole launch: process settings, discovery, loading, hand-off and
// release. szCmdLine is the command line's arguments (may be null). Returns
// the process exit code.
int RunLauncher(HINSTANCE hInstance, HINSTANCE hPrevInstance, const char* szCmdLine, int nCmdShow);
} // namespace Launch
