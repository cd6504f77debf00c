#pragma once

#include "SString.h"

namespace SharedUtil
{
// The program and the parameters that open an address through the system's
// URL handler, so that it reaches the user's browser.
constexpr const char* URL_HANDLER_PROGRAM = "rundll32.exe";
constexpr const char* URL_HANDLER_PARAMETERS = "url.dll,FileProtocolHandler ";

// An "open" (exactly) of an "https://" address (any case) without parameters
// is rerouted through the URL handler: file and parameters are rewritten and
// true is returned. Anything else is left as it is.
bool RouteThroughUrlHandler(const SString& strVerb, SString& strFile, SString& strParameters);

#ifdef _WIN32
// Asks the shell to perform a verb on a file, program or address. With bWait
// the call returns when the process the shell started has ended. True when
// the shell accepted the request.
bool ShellLaunch(bool bWait, const SString& strVerb, const SString& strFile, const SString& strParameters,
                 const SString& strDirectory, int iShowCommand);
#endif
} // namespace SharedUtil
