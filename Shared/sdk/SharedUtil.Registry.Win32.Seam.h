#pragma once

#include "SharedUtil.Windows.h"

// The value query behind the registry reader, replaceable so that tests can
// produce answers the registry does not give on demand, such as
// ERROR_MORE_DATA on a value that grew. Shipping code never replaces it.
namespace SharedUtil
{
using RegistryQueryFunction = LSTATUS(WINAPI*)(HKEY hKey, LPCWSTR wszValueName, LPDWORD pReserved, LPDWORD pType,
                                               LPBYTE pData, LPDWORD pSize);

// Installs pFunction (null: RegQueryValueExW) and returns the one before.
RegistryQueryFunction SetRegistryQueryFunction(RegistryQueryFunction pFunction);
} // namespace SharedUtil
