#include "support/Probe.Win32.h"

#include "support/Win32TestSupport.Win32.h"

namespace TestSupport
{
namespace
{
constexpr const wchar_t* PROBE_FILE_NAME = L"process_tag_probe.exe";
constexpr DWORD PROBE_TIMEOUT_MS = 60000;

std::map<std::string, std::string> ParseLines(const std::string& strOutput)
{
    std::map<std::string, std::string> values;
    std::size_t uiStart = 0;
    while (uiStart < strOutput.size())
    {
        std::size_t uiEnd = strOutput.find('\n', uiStart);
        if (uiEnd == std::string::npos)
            uiEnd = strOutput.size();
        std::string strLine = strOutput.substr(uiStart, uiEnd - uiStart);
        if (!strLine.empty() && strLine.back() == '\r')
            strLine.pop_back();
        const std::size_t uiEquals = strLine.find('=');
        if (uiEquals != std::string::npos)
            values[strLine.substr(0, uiEquals)] = strLine.substr(uiEquals + 1);
        uiStart = uiEnd + 1;
    }
    return values;
}
} // namespace

std::wstring GetProbePath()
{
    return GetHelperPath(PROBE_FILE_NAME);
}

SProbeResult RunProbe(const std::wstring& wstrExePath)
{
    SProbeResult result;
    CChildProcess probe;
    result.bStarted = probe.Start(wstrExePath, L"", true);
    if (!result.bStarted)
        return result;
    result.dwProcessId = probe.GetProcessId();
    result.values = ParseLines(probe.ReadOutput());
    result.dwExitCode = probe.WaitForExit(PROBE_TIMEOUT_MS).value_or(STILL_ACTIVE);
    return result;
}
} // namespace TestSupport
