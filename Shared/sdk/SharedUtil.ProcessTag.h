#pragma once

#include "SString.h"

// Which process wrote a report line: its own id, or its parent's and its own
// when it runs as the game executable. The tag itself is in
// SharedUtil.ProcessTag.Win32.h.
namespace SharedUtil
{
// The role test on an executable path: a file name ending in gta_sa.exe is the
// game, one ending in Valdrenne.exe is not, and any other is the game when its
// folder holds models\gta3.img or data\gta.dat.
bool IsGameExecutable(const SString& strExecutablePath);
} // namespace SharedUtil
