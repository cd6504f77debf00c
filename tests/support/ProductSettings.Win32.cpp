#include "support/ProductSettings.Win32.h"

#include "SharedUtil.ScopedHandle.Win32.h"

using SharedUtil::CScopedRegistryKey;

namespace TestSupport
{
namespace
{
constexpr const wchar_t* SOFTWARE_KEY = L"Software";
constexpr const wchar_t* PRODUCT_KEY_NAME = L"Kestrune";

CScopedRegistryKey OpenMachineKey(const wchar_t* wszPath, REGSAM samAccess)
{
    HKEY hKey = nullptr;
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, wszPath, 0, samAccess, &hKey);
    return CScopedRegistryKey(hKey);
}
} // namespace

CProductSettingsGuard::CProductSettingsGuard(const std::vector<std::string>& names)
{
    for (REGSAM samView : REGISTRY_VIEWS)
    {
        if (!OpenMachineKey(PRODUCT_KEY, KEY_READ | samView).IsValid())
            m_ViewsWithoutProductKey.push_back(samView);
        const CScopedRegistryKey hSettings = OpenMachineKey(PRODUCT_SETTINGS_KEY, KEY_READ | samView);
        for (const std::string& strName : names)
        {
            SSavedValue saved;
            saved.samView = samView;
            saved.wstrName.assign(strName.begin(), strName.end());
            DWORD dwSize = 0;
            saved.bPresent = hSettings.IsValid() && RegQueryValueExW(hSettings.Get(), saved.wstrName.c_str(), nullptr,
                                                                     &saved.dwType, nullptr, &dwSize) == ERROR_SUCCESS;
            if (saved.bPresent)
            {
                saved.data.resize(dwSize);
                RegQueryValueExW(hSettings.Get(), saved.wstrName.c_str(), nullptr, nullptr, saved.data.data(), &dwSize);
                saved.data.resize(dwSize);
            }
            m_Saved.push_back(std::move(saved));
        }
    }
}

CProductSettingsGuard::~CProductSettingsGuard()
{
    for (const SSavedValue& saved : m_Saved)
    {
        const CScopedRegistryKey hSettings = OpenMachineKey(PRODUCT_SETTINGS_KEY, KEY_ALL_ACCESS | saved.samView);
        if (!hSettings.IsValid())
            continue;
        if (saved.bPresent)
            RegSetValueExW(hSettings.Get(), saved.wstrName.c_str(), 0, saved.dwType, saved.data.data(),
                           static_cast<DWORD>(saved.data.size()));
        else
            RegDeleteValueW(hSettings.Get(), saved.wstrName.c_str());
    }
    for (REGSAM samView : m_ViewsWithoutProductKey)
    {
        const CScopedRegistryKey hSoftware = OpenMachineKey(SOFTWARE_KEY, KEY_ALL_ACCESS | samView);
        if (hSoftware.IsValid())
            RegDeleteTreeW(hSoftware.Get(), PRODUCT_KEY_NAME);
    }
}

void CProductSettingsGuard::DeleteAll() const
{
    for (const SSavedValue& saved : m_Saved)
    {
        const CScopedRegistryKey hSettings = OpenMachineKey(PRODUCT_SETTINGS_KEY, KEY_SET_VALUE | saved.samView);
        if (hSettings.IsValid())
            RegDeleteValueW(hSettings.Get(), saved.wstrName.c_str());
    }
}

bool SetRawProductSetting(REGSAM samView, const wchar_t* wszName, DWORD dwType, const void* pData, DWORD dwSize)
{
    HKEY hCreated = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, PRODUCT_SETTINGS_KEY, 0, nullptr, 0, KEY_ALL_ACCESS | samView, nullptr,
                    &hCreated, nullptr);
    const CScopedRegistryKey hSettings(hCreated);
    return hSettings.IsValid() && RegSetValueExW(hSettings.Get(), wszName, 0, dwType, static_cast<const BYTE*>(pData),
                                                 dwSize) == ERROR_SUCCESS;
}
} // namespace TestSupport
