#pragma once

#include "SharedUtil.Windows.h"

namespace Launch
{
// The whole launch: process settings, discovery, loading, hand-off and
// release. Returns the process exit code.
int RunLauncher(HINSTANCE hInstance, HINSTANCE hPrevInstance, const char* szCmdLine, int nCmdShow);

// Seams for the two COM calls, which cannot be made to fail from outside
// the process; the shipping path uses the real ones.
using PFN_CoInitializeEx = HRESULT(WINAPI*)(LPVOID pReserved, DWORD dwCoInit);
using PFN_CoUninitialize = void(WINAPI*)();
void SetComFunctionsForTesting(PFN_CoInitializeEx pfnInitialize, PFN_CoUninitialize pfnUninitialize);
} // namespace Launch
