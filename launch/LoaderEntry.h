#pragma once

#include <cstddef>
#include <cstdint>

#include "LaunchResult.h"
#include "SharedUtil.Windows.h"

namespace Launch
{
// The loader's entry point, looked up by this name.
constexpr const char* LOADER_ENTRY_NAME = "DoWinMain";
using PFN_DoWinMain = int(__cdecl*)(HINSTANCE hInstance, HINSTANCE hPrevInstance, char* szCmdLine, int nCmdShow);

// The command line the loader receives: a private, zero-terminated copy.
constexpr std::size_t COMMAND_LINE_BUFFER_SIZE = 8192;

// True when the address lies in [uiBase, uiBase + uiSize).
bool IsAddressInModule(uintptr_t uiAddress, uintptr_t uiBase, uintptr_t uiSize);

// Calls the loader's DoWinMain with a bounded copy of the command line and
// waits for it. Fails with EXIT_HANDOFF_FAILED when there is no entry point,
// it lies outside the module, or an exception escapes it.
SLaunchResult<int> CallLoaderEntry(HMODULE hLoader, HINSTANCE hInstance, HINSTANCE hPrevInstance, const char* szCmdLine,
                                   int nCmdShow);
} // namespace Launch
