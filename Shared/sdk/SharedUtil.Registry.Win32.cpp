#include "SharedUtil.Registry.Win32.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "SharedUtil.Encoding.h"
#include "SharedUtil.PathQuery.Win32.h"
#include "SharedUtil.Registry.Win32.Seam.h"
#include "SharedUtil.Registry.h"
#include "SharedUtil.ScopedHandle.Win32.h"
#include "SharedUtil.SeamSetter.h"

namespace SharedUtil
{
namespace
{
// Views in the order they are asked: a value in the 64-bit view wins over one
// of the same name in the 32-bit view.
constexpr REGSAM READ_VIEWS[] = {KEY_READ | KEY_WOW64_64KEY, KEY_READ | KEY_WOW64_32KEY, KEY_READ};
// No view flag: the view WriteRegistryText writes to.
constexpr REGSAM DEFAULT_VIEW[] = {KEY_READ};

// Smallest buffers the readers ask with: one UTF-16 unit, one QWORD.
constexpr uint32_t MIN_STRING_BYTES = 2;
constexpr uint32_t MIN_OTHER_BYTES = 8;

// A value that keeps growing while it is read is given up on after this many
// tries (doubling from the smallest size reaches the size limit well before).
constexpr int MAX_QUERY_ATTEMPTS = 32;

// Growth of the request when the registry answers ERROR_MORE_DATA without a size.
constexpr uint64_t GROWTH_FACTOR = 2;

constexpr uint32_t DWORD_BYTES = 4;
constexpr uint32_t QWORD_BYTES = 8;
constexpr unsigned BITS_PER_BYTE = 8;

RegistryQueryFunction g_pfnRegistryQuery = &RegQueryValueExW;

bool IsStringType(DWORD dwType)
{
    return dwType == REG_SZ || dwType == REG_EXPAND_SZ || dwType == REG_MULTI_SZ;
}

// Reads the value's data into a zero-filled buffer of at least uiBytes bytes
// (never fewer than uiMinBytes), growing it while the registry answers
// ERROR_MORE_DATA. allocate(bytes) resizes the buffer and returns its data and
// capacity in bytes. On success uiReturnedBytes holds the bytes written.
template <typename TAllocate>
bool QueryValueData(HKEY hKey, const wchar_t* wszValueName, uint32_t uiBytes, uint32_t uiMinBytes, TAllocate allocate,
                    uint32_t& uiReturnedBytes)
{
    uint64_t uiRequest = std::max(uiBytes, uiMinBytes);
    for (int iAttempt = 0; iAttempt < MAX_QUERY_ATTEMPTS; ++iAttempt)
    {
        const auto [pData, uiCapacity] = allocate(static_cast<uint32_t>(uiRequest));
        DWORD dwSize = static_cast<DWORD>(uiRequest);
        const LSTATUS lResult = g_pfnRegistryQuery(hKey, wszValueName, nullptr, nullptr, pData, &dwSize);
        if (lResult == ERROR_SUCCESS)
        {
            uiReturnedBytes = std::min<uint32_t>(dwSize, uiCapacity);
            return true;
        }
        if (lResult != ERROR_MORE_DATA)
            return false;

        // The registry names the size it needs; without a size, ask for more.
        uiRequest = dwSize != 0 ? dwSize : uiRequest * GROWTH_FACTOR;
        uiRequest = std::max<uint64_t>(uiRequest, uiMinBytes);
        if (uiRequest > MAX_REGISTRY_VALUE_BYTES)
            return false;
    }
    return false;
}

bool ReadStringValue(HKEY hKey, const wchar_t* wszValueName, DWORD dwType, uint32_t uiSize, SString& strOutText)
{
    // One unit more than the bytes hold, so that there is always room to
    // terminate a value stored without its zero.
    std::vector<wchar_t> buffer;
    auto allocate = [&buffer](uint32_t uiBytes)
    {
        buffer.assign((uiBytes + 1) / sizeof(wchar_t) + 1, L'\0');
        return std::pair{reinterpret_cast<LPBYTE>(buffer.data()), uiBytes};
    };
    uint32_t uiReturnedBytes = 0;
    if (!QueryValueData(hKey, wszValueName, uiSize, MIN_STRING_BYTES, allocate, uiReturnedBytes))
        return false;

    const std::size_t uiEnd = std::min<std::size_t>(uiReturnedBytes / sizeof(wchar_t), buffer.size() - 1);
    buffer[uiEnd] = L'\0';

    if (dwType == REG_MULTI_SZ)
        strOutText = WideToUtf8(MultiStringToLines(buffer.data(), static_cast<uint32_t>(uiEnd)));
    else if (dwType == REG_EXPAND_SZ)
        strOutText = ExpandEnvironmentText(buffer.data());
    else
        strOutText = WideToUtf8(buffer.data());
    return true;
}

uint64_t LittleEndian(const uint8_t* pBytes, uint32_t uiCount)
{
    uint64_t uiValue = 0;
    for (uint32_t i = uiCount; i > 0; --i)
        uiValue = (uiValue << BITS_PER_BYTE) | pBytes[i - 1];
    return uiValue;
}

uint64_t BigEndian(const uint8_t* pBytes, uint32_t uiCount)
{
    uint64_t uiValue = 0;
    for (uint32_t i = 0; i < uiCount; ++i)
        uiValue = (uiValue << BITS_PER_BYTE) | pBytes[i];
    return uiValue;
}

bool ReadOtherValue(HKEY hKey, const wchar_t* wszValueName, DWORD dwType, uint32_t uiSize, SString& strOutText)
{
    std::vector<uint8_t> buffer;
    auto allocate = [&buffer](uint32_t uiBytes)
    {
        buffer.assign(uiBytes, 0);
        return std::pair{buffer.data(), uiBytes};
    };
    uint32_t uiCount = 0;
    if (!QueryValueData(hKey, wszValueName, uiSize, MIN_OTHER_BYTES, allocate, uiCount))
        return false;

    const uint8_t* pBytes = buffer.data();
    switch (dwType)
    {
    case REG_DWORD:
        strOutText = SString("%lu", static_cast<unsigned long>(LittleEndian(pBytes, std::min(uiCount, DWORD_BYTES))));
        break;
    case REG_DWORD_BIG_ENDIAN:
        strOutText = SString("%lu", static_cast<unsigned long>(BigEndian(pBytes, std::min(uiCount, DWORD_BYTES))));
        break;
    case REG_QWORD:
        strOutText =
            SString("%llu", static_cast<unsigned long long>(LittleEndian(pBytes, std::min(uiCount, QWORD_BYTES))));
        break;
    default:
        strOutText = BytesToHex(pBytes, uiCount);
        break;
    }
    return true;
}

// The value of an open key as text; false when it cannot be read here and the
// next view should be asked.
bool ReadValueText(HKEY hKey, const wchar_t* wszValueName, SString& strOutText)
{
    DWORD dwType = REG_NONE;
    DWORD dwSize = 0;
    const LSTATUS lResult = g_pfnRegistryQuery(hKey, wszValueName, nullptr, &dwType, nullptr, &dwSize);
    if (lResult != ERROR_SUCCESS && lResult != ERROR_MORE_DATA)
        return false;
    if (dwSize > MAX_REGISTRY_VALUE_BYTES)
        return false;
    if (IsStringType(dwType))
        return ReadStringValue(hKey, wszValueName, dwType, dwSize, strOutText);
    return ReadOtherValue(hKey, wszValueName, dwType, dwSize, strOutText);
}

// Each value as text from the first of the views that holds a readable one.
// The key is opened once per view, for every value not yet read.
template <std::size_t VIEW_COUNT>
void ReadFromViews(HKEY hRoot, const char* szSubKey, const char* const* pszValueNames, SString* pstrOutTexts,
                   std::size_t uiCount, const REGSAM (&views)[VIEW_COUNT])
{
    const WString wstrSubKey = Utf8ToWide(szSubKey);
    std::vector<WString> valueNames;
    valueNames.reserve(uiCount);
    for (std::size_t i = 0; i < uiCount; ++i)
    {
        valueNames.push_back(Utf8ToWide(pszValueNames[i]));
        pstrOutTexts[i].clear();
    }
    std::vector<bool> read(uiCount, false);
    std::size_t uiUnread = uiCount;
    for (REGSAM samAccess : views)
    {
        HKEY hOpened = nullptr;
        if (uiUnread == 0 || RegOpenKeyExW(hRoot, wstrSubKey.c_str(), 0, samAccess, &hOpened) != ERROR_SUCCESS)
            continue;
        const CScopedRegistryKey hKey(hOpened);
        for (std::size_t i = 0; i < uiCount; ++i)
        {
            SString strText;
            if (read[i] || !ReadValueText(hKey.Get(), valueNames[i].c_str(), strText))
                continue;
            pstrOutTexts[i] = std::move(strText);
            read[i] = true;
            --uiUnread;
        }
    }
}

template <std::size_t VIEW_COUNT>
SString ReadFromViews(HKEY hRoot, const char* szSubKey, const char* szValueName, const REGSAM (&views)[VIEW_COUNT])
{
    SString strText;
    ReadFromViews(hRoot, szSubKey, &szValueName, &strText, 1, views);
    return strText;
}
} // namespace

RegistryQueryFunction SetRegistryQueryFunction(RegistryQueryFunction pFunction)
{
    return ReplaceSeamFunction(g_pfnRegistryQuery, pFunction, &RegQueryValueExW);
}

SString ReadRegistryText(HKEY hRoot, const char* szSubKey, const char* szValueName)
{
    return ReadFromViews(hRoot, szSubKey, szValueName, READ_VIEWS);
}

void ReadRegistryTexts(HKEY hRoot, const char* szSubKey, const char* const* pszValueNames, SString* pstrOutTexts,
                       std::size_t uiCount)
{
    ReadFromViews(hRoot, szSubKey, pszValueNames, pstrOutTexts, uiCount, READ_VIEWS);
}

SString ReadRegistryTextInDefaultView(HKEY hRoot, const char* szSubKey, const char* szValueName)
{
    return ReadFromViews(hRoot, szSubKey, szValueName, DEFAULT_VIEW);
}

void WriteRegistryText(HKEY hRoot, const char* szSubKey, const char* szValueName, const SString& strValue)
{
    const WString wstrSubKey = Utf8ToWide(szSubKey);
    const WString wstrValueName = Utf8ToWide(szValueName);
    const WString wstrValue = Utf8ToWide(strValue);

    HKEY hCreated = nullptr;
    RegCreateKeyExW(hRoot, wstrSubKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &hCreated,
                    nullptr);
    const CScopedRegistryKey hKey(hCreated);
    if (!hKey.IsValid())
        return;
    // A failed write leaves the old value; callers cannot act on it.
    RegSetValueExW(hKey.Get(), wstrValueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(wstrValue.c_str()),
                   static_cast<DWORD>((wstrValue.size() + 1) * sizeof(wchar_t)));
}

SString GetSetting(const SString& strSection, const SString& strName)
{
    return ReadRegistryText(HKEY_LOCAL_MACHINE, GetSettingsKeyPath(strSection).c_str(), strName.c_str());
}

void GetSettings(const char* const* pszNames, SString* pstrOutValues, std::size_t uiCount)
{
    ReadRegistryTexts(HKEY_LOCAL_MACHINE, GetSettingsKeyPath(DEFAULT_SETTINGS_SECTION).c_str(), pszNames, pstrOutValues,
                      uiCount);
}

SString GetSettingInWriteView(const SString& strName)
{
    return ReadRegistryTextInDefaultView(HKEY_LOCAL_MACHINE, GetSettingsKeyPath(DEFAULT_SETTINGS_SECTION).c_str(),
                                         strName.c_str());
}

void SetSetting(const SString& strSection, const SString& strName, const SString& strValue)
{
    WriteRegistryText(HKEY_LOCAL_MACHINE, GetSettingsKeyPath(strSection).c_str(), strName.c_str(), strValue);
}
} // namespace SharedUtil
