#pragma once

// The process-tag probe, built beside the tests: copied to other names and
// folders and run there, it prints what its process knows about itself as
// "key=value" lines.
#include <map>
#include <string>

#include "SharedUtil.Windows.h"

namespace TestSupport
{
struct SProbeResult
{
    bool bStarted = false;
    DWORD dwProcessId = 0;
    DWORD dwExitCode = 0;
    std::map<std::string, std::string> values;
};

// The probe as it was built.
std::wstring GetProbePath();

// Runs a copy of the probe and reads back its lines.
SProbeResult RunProbe(const std::wstring& wstrExePath);
} // namespace TestSupport
