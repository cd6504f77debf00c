#include "SharedUtil.TroubleHelp.h"

#include <cstdlib>

#include "SharedUtil.Misc.h"

namespace SharedUtil
{
namespace
{
CKeyValueMap MakeRecordMap()
{
    return CKeyValueMap("=", "&", "");
}
} // namespace

SString BuildTroubleRecord(const SString& strType, int iFlags, const SString& strMessage, const SString& strErrorCode)
{
    SString strRecordType;
    strType.SplitAt(";", &strRecordType, nullptr, 1);

    CKeyValueMap record = MakeRecordMap();
    record.Set("type", strRecordType);
    record.Set("flags", iFlags);
    record.Set("message", strMessage);
    record.Set("ecode", strErrorCode);
    return record.Serialize();
}

bool ParseTroubleRecord(const SString& strRecordText, STroubleRecord& outRecord)
{
    CKeyValueMap record = MakeRecordMap();
    record.Parse(strRecordText, false);

    STroubleRecord parsed;
    if (!record.Get("type", parsed.strType, ""))
        return false;
    record.Get("message", parsed.strMessage, "");
    SString strFlags;
    if (record.Get("flags", strFlags, ""))
        parsed.iFlags = std::atoi(strFlags.c_str());
    record.Get("ecode", parsed.strErrorCode, "");
    outRecord = std::move(parsed);
    return true;
}

SString BuildTroubleUrl(const SString& strTemplate, const SString& strVersionExt, const SString& strSerial,
                        const SString& strType)
{
    SString strUrl = strTemplate.empty() ? SString(TROUBLE_URL_TEMPLATE) : strTemplate;
    // Only the template may not carry "%"; values inserted below keep theirs.
    strUrl = strUrl.ReplaceAll("%", "_");
    strUrl = strUrl.ReplaceAll("_VERSION_", strVersionExt.c_str());
    strUrl = strUrl.ReplaceAll("_ID_", strSerial.c_str());
    strUrl = strUrl.ReplaceAll("_TROUBLE_", strType.c_str());
    return strUrl;
}

} // namespace SharedUtil
