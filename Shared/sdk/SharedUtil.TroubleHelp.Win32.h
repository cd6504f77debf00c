#pragma once

#include "SString.h"
#include "SharedUtil.TroubleHelp.h"
#include "SharedUtil.Windows.h"

namespace SharedUtil
{
// Logs the trouble, stores the record and processes it at once. Does not
// return when a flag terminates the process.
void OfferTroubleHelp(const SString& strType, int iFlags, const SString& strMessage, const SString& strErrorCode);

// True when the help counts as handled: the URL was opened, or the message
// alone was to be shown.
bool ProcessPendingTroubleHelp();
} // namespace SharedUtil
