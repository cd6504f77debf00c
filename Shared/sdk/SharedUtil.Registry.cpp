#include "SharedUtil.Registry.h"

#include "SharedUtil.Path.h"
#include "SharedUtil.Version.h"

namespace SharedUtil
{
namespace
{
constexpr const char* SETTINGS_ROOT_PATH = "Software\\Kestrune";
constexpr const char* SETTINGS_BRANCH = "Settings";

// Empty until first asked for; single-threaded callers, so not guarded.
SString g_strSettingsRoot;
} // namespace

SString GetSetting(const SString& strName)
{
    return GetSetting(DEFAULT_SETTINGS_SECTION, strName);
}

void SetSetting(const SString& strName, const SString& strValue)
{
    SetSetting(DEFAULT_SETTINGS_SECTION, strName, strValue);
}

const SString& GetSettingsRoot()
{
    if (g_strSettingsRoot.empty())
        g_strSettingsRoot = SETTINGS_ROOT_PATH;
    return g_strSettingsRoot;
}

SString BuildSettingsKeyPath(const SString& strVersion, const SString& strSubKey)
{
    return CombinePath(GetSettingsRoot(), strVersion, strSubKey, "", "").StripTrailing("\\");
}

SString GetSettingsKeyPath(const SString& strSection)
{
    return BuildSettingsKeyPath(GetMajorMinorVersion(), CombinePath(SETTINGS_BRANCH, strSection));
}
} // namespace SharedUtil
