#pragma once

#include <cstddef>

#include "SString.h"

// Named text settings shared with the product's other components. On Windows
// they live in the key HKEY_LOCAL_MACHINE\Software\Kestrune\<major.minor>\Settings\<section>
// (REG_SZ values); a missing setting reads as the empty string. Nothing is
// cached: every read goes to the store. Nothing here reports an error.
namespace SharedUtil
{
// The section of every setting this system uses.
constexpr const char* DEFAULT_SETTINGS_SECTION = "general";

// Settings that other components write may stand in either registry view;
// the 64-bit view is asked first.
SString GetSetting(const SString& strName);
SString GetSetting(const SString& strSection, const SString& strName);
// Several settings of the default section, each read as GetSetting reads it,
// in one pass over the views: uiCount names in, as many values out.
void GetSettings(const char* const* pszNames, SString* pstrOutValues, std::size_t uiCount);
// A setting that this process writes and reads back, from the one view that
// SetSetting writes to; a value of the same name in another view is not seen.
SString GetSettingInWriteView(const SString& strName);
void SetSetting(const SString& strName, const SString& strValue);
void SetSetting(const SString& strSection, const SString& strName, const SString& strValue);

// The process-wide root path, "Software\Kestrune", set on first use.
const SString& GetSettingsRoot();

// The root path, the version and the sub key joined, without a trailing
// backslash.
SString BuildSettingsKeyPath(const SString& strVersion, const SString& strSubKey);

// The key path of a section of this version's settings.
SString GetSettingsKeyPath(const SString& strSection);
} // namespace SharedUtil
