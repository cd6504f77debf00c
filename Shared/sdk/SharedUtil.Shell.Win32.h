#pragma once

#include "SString.h"
#include "SharedUtil.Shell.h"
#include "SharedUtil.Windows.h"

namespace SharedUtil
{
// Asks the shell to perform a verb on a file, program or address. With bWait
// the call returns when the process the shell started has ended. True when
// the shell accepted the request.
bool ShellLaunch(bool bWait, const SString& strVerb, const SString& strFile, const SString& strParameters,
                 const SString& strDirectory, int iShowCommand);
} // namespace SharedUtil
