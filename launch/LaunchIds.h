#pragma once

#include <cstdint>

// Report-log ids of the launch sequence, one per message site, and its exit
// codes of its own.
namespace Launch
{
constexpr uint32_t REPORT_LOAD_FAILED = 5711;
constexpr uint32_t REPORT_ENTRY_MISSING = 5713;
constexpr uint32_t REPORT_ENTRY_EXCEPTION = 5722;
constexpr uint32_t REPORT_LAUNCH_PATHS = 5725;
constexpr uint32_t REPORT_QEL_NOT_FOUND = 5730;
constexpr uint32_t REPORT_INVALID_LAUNCH_PATH = 5731;
constexpr uint32_t REPORT_COM_FAILED = 5737;

constexpr int EXIT_NO_INSTALL_DIRECTORY = 1;
constexpr int EXIT_LOADER_NOT_LOADABLE = 2;
constexpr int EXIT_HANDOFF_FAILED = 3;
} // namespace Launch
