#pragma once

#include "SString.h"

// Opening files, programs and addresses through the shell: the routing rule
// here, the shell call itself in SharedUtil.Shell.Win32.h.
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
} // namespace SharedUtil
