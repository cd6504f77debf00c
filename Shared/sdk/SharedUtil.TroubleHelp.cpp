#include "SharedUtil.TroubleHelp.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <string_view>

#include "SharedUtil.Misc.h"

namespace SharedUtil
{
namespace
{
constexpr const char* WEB_SCHEMES[] = {"https://", "http://"};

CKeyValueMap MakeRecordMap()
{
    return CKeyValueMap("=", "&", "");
}

// ReplaceAll of the marker, unless the text would then be longer than
// TROUBLE_URL_MAX_BYTES: the length is counted before anything is built, so
// that a template full of markers and a long value cannot ask for gigabytes.
bool ReplaceWithin(SString& strText, const char* szMarker, const SString& strValue)
{
    const std::string_view svMarker(szMarker);
    uint64_t uiMarkers = 0;
    for (std::size_t uiPos = strText.find(svMarker); uiPos != SString::npos;
         uiPos = strText.find(svMarker, uiPos + svMarker.size()))
        ++uiMarkers;
    const uint64_t uiLength = strText.size() - uiMarkers * svMarker.size() + uiMarkers * strValue.size();
    if (uiLength > TROUBLE_URL_MAX_BYTES)
        return false;
    strText = strText.ReplaceAll(szMarker, strValue.c_str());
    return true;
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

bool BuildTroubleUrl(const SString& strTemplate, const SString& strVersionExt, const SString& strSerial,
                     const SString& strType, SString& strOutUrl)
{
    SString strUrl = strTemplate.empty() ? SString(TROUBLE_URL_TEMPLATE) : strTemplate;
    if (strUrl.size() > TROUBLE_URL_MAX_BYTES)
        return false;
    // Only the template may not carry "%"; values inserted below keep theirs.
    strUrl = strUrl.ReplaceAll("%", "_");
    if (!ReplaceWithin(strUrl, "_VERSION_", strVersionExt) || !ReplaceWithin(strUrl, "_ID_", strSerial) ||
        !ReplaceWithin(strUrl, "_TROUBLE_", strType))
        return false;
    strOutUrl = std::move(strUrl);
    return true;
}

bool IsWebAddress(const SString& strUrl)
{
    return std::any_of(std::begin(WEB_SCHEMES), std::end(WEB_SCHEMES),
                       [&](const char* szScheme) { return strUrl.StartsWithNoCase(szScheme); });
}

} // namespace SharedUtil
