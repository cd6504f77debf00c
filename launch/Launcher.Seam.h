#pragma once

#include "SharedUtil.Windows.h"

// Calls of the run that a test cannot observe or make fail from outside the
// process: the two COM calls, and setting the application identity (which
// Wine cannot read back). Shipping code never replaces them.
namespace Launch
{
using CoInitializeExFunction = HRESULT(WINAPI*)(LPVOID pReserved, DWORD dwCoInit);
using CoUninitializeFunction = void(WINAPI*)();
using ApplicationIdentityFunction = HRESULT(WINAPI*)(PCWSTR wszIdentity);

// Each installs pFunction (null: the system call) and returns the one before.
CoInitializeExFunction SetCoInitializeExFunction(CoInitializeExFunction pFunction);
CoUninitializeFunction SetCoUninitializeFunction(CoUninitializeFunction pFunction);
ApplicationIdentityFunction SetApplicationIdentityFunction(ApplicationIdentityFunction pFunction);
} // namespace Launch
