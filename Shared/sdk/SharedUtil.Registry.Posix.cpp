#include "SharedUtil.Registry.h"

#include <map>
#include <string>
#include <utility>

// Native stand-in for the registry: settings live in this process's memory
// only, so that portable code reading settings runs and can be tested here.
namespace SharedUtil
{
namespace
{
std::map<std::pair<std::string, std::string>, SString>& GetSettingsStore()
{
    static std::map<std::pair<std::string, std::string>, SString> settings;
    return settings;
}
} // namespace

SString GetSetting(const SString& strSection, const SString& strName)
{
    const auto& settings = GetSettingsStore();
    const auto found = settings.find({GetSettingsKeyPath(strSection), strName});
    return found != settings.end() ? found->second : SString();
}

void GetSettings(const char* const* pszNames, SString* pstrOutValues, std::size_t uiCount)
{
    for (std::size_t i = 0; i < uiCount; ++i)
        pstrOutValues[i] = GetSetting(pszNames[i]);
}

// One store here: the view written to is the one read.
SString GetSettingInWriteView(const SString& strName)
{
    return GetSetting(strName);
}

void SetSetting(const SString& strSection, const SString& strName, const SString& strValue)
{
    GetSettingsStore()[{GetSettingsKeyPath(strSection), strName}] = strValue;
}
} // namespace SharedUtil
