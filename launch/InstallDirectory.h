#pragma once

#include "LaunchResult.h"
#include "SString.h"
#include "SharedUtil.Windows.h"

namespace Launch
{
// The folder that holds the launcher executable; empty when its path has no
// backslash.
SString GetLaunchPath();

// Rejects texts holding ".." or "//"; texts shorter than two bytes pass.
bool IsValidPath(const SString& strPath);

// The "qel" folder beside the launch path or one level up (the ".." is kept
// in the text). Fails with EXIT_NO_INSTALL_DIRECTORY and writes its own
// report lines.
SLaunchResult<SString> FindInstallDirectory(const SString& strLaunchPath);
} // namespace Launch
