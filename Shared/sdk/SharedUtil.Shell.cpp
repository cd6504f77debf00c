#include "SharedUtil.Shell.h"

namespace SharedUtil
{
bool RouteThroughUrlHandler(const SString& strVerb, SString& strFile, SString& strParameters)
{
    if (strVerb != "open" || !strFile.StartsWithNoCase("https://") || !strParameters.empty())
        return false;
    strParameters = SString(URL_HANDLER_PARAMETERS) + strFile;
    strFile = URL_HANDLER_PROGRAM;
    return true;
}
} // namespace SharedUtil
