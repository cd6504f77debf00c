#pragma once

#include "LaunchIds.h"
#include "LaunchResult.h"
#include "SString.h"

namespace Launch
{
// The folder that holds the launcher executable; empty when its path has no
// backslash.
SString GetLaunchPath();

// Rejects texts holding ".." or "//"; texts shorter than two bytes pass.
bool IsValidPath(const SString& strPath);

// The install directory, or why there is none.
using SInstallResult = SLaunchResult<SString, EExitCode>;

// The "qel" folder beside the launch path or one level up (the ".." is kept
// in the text). Fails with EExitCode::NO_INSTALL_DIRECTORY and writes its own
// report lines.
SInstallResult FindInstallDirectory(const SString& strLaunchPath);
} // namespace Launch
