#pragma once

// The product's own settings key, as tests that touch it see it.
#include <string>
#include <vector>

#include "SharedUtil.Windows.h"

namespace TestSupport
{
// Below HKEY_LOCAL_MACHINE; written independently of the library's key builder.
constexpr const wchar_t* PRODUCT_KEY = L"Software\\Kestrune";
constexpr const wchar_t* PRODUCT_SETTINGS_KEY = L"Software\\Kestrune\\1.7\\Settings\\general";

// The two registry views of the local machine's software branch.
constexpr REGSAM REGISTRY_VIEWS[] = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};

// Lets a test change the named settings, in either view, and puts the key back
// as it found it when the scope ends: values that were there get their type
// and bytes back, values that were not are deleted, and the product key goes
// when the test brought it.
class CProductSettingsGuard
{
public:
    explicit CProductSettingsGuard(const std::vector<std::string>& names);
    ~CProductSettingsGuard();
    CProductSettingsGuard(const CProductSettingsGuard&) = delete;
    CProductSettingsGuard& operator=(const CProductSettingsGuard&) = delete;

    // Deletes the named settings in both views, for a test that starts from none.
    void DeleteAll() const;

private:
    struct SSavedValue
    {
        REGSAM samView = 0;
        std::wstring wstrName;
        bool bPresent = false;
        DWORD dwType = REG_NONE;
        std::vector<BYTE> data;
    };
    std::vector<SSavedValue> m_Saved;
    std::vector<REGSAM> m_ViewsWithoutProductKey;
};

// Stores raw bytes of any type as a setting in one view, creating the key.
bool SetRawProductSetting(REGSAM samView, const wchar_t* wszName, DWORD dwType, const void* pData, DWORD dwSize);
} // namespace TestSupport
