#pragma once

#include <cstddef>
#include <cstdint>

#include "EntryGuard.h"
#include "LaunchIds.h"
#include "LaunchResult.h"
#include "SharedUtil.Windows.h"

namespace Launch
{
// The loader's entry point, looked up by this name.
constexpr const char* LOADER_ENTRY_NAME = "DoWinMain";

// The command line the loader receives: a private, zero-terminated copy.
constexpr std::size_t COMMAND_LINE_BUFFER_SIZE = 8192;

// True when the address lies in [uiBase, uiBase + uiSize).
bool IsAddressInModule(uintptr_t uiAddress, uintptr_t uiBase, uintptr_t uiSize);

// DoWinMain's result, or EExitCode::HANDOFF_FAILED.
using SHandOffResult = SLaunchResult<int, EExitCode>;

// Calls the loader's DoWinMain with a bounded copy of the command line and
// waits for it. Fails when there is no entry point, it lies outside the
// module, or an exception escapes it (see also CallEntryGuarded).
SHandOffResult CallLoaderEntry(HMODULE hLoader, HINSTANCE hInstance, HINSTANCE hPrevInstance, const char* szCmdLine,
                               int nCmdShow);
} // namespace Launch
