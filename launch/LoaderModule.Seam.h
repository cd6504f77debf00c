#pragma once

#include "SharedUtil.Windows.h"

// The call that sets the DLL search directory, replaceable so that tests can
// play what a test run cannot produce: a restore that changes the thread's
// last error. Shipping code never replaces it.
namespace Launch
{
// SetDllDirectoryW.
using DllDirectoryChangeFunction = BOOL(WINAPI*)(LPCWSTR wszDirectory);

// Installs pFunction (null: the system call) and returns the one before.
DllDirectoryChangeFunction SetDllDirectoryChangeFunction(DllDirectoryChangeFunction pFunction);
} // namespace Launch
