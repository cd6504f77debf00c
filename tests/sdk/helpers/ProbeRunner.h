#pragma once

// Copies the process-tag probe (built beside the tests) to other names and
// folders, runs it with its output on a pipe and reads back its "key=value"
// lines.
#include "SharedUtil.Windows.h"
#include "support/Win32TestSupport.Win32.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace ProbeRunner
{
constexpr const wchar_t* PROBE_FILE_NAME = L"process_tag_probe.exe";
constexpr DWORD PROBE_TIMEOUT_MS = 60000;
constexpr DWORD PIPE_CHUNK_BYTES = 4096;

struct SProbeResult
{
    bool bStarted = false;
    DWORD uiProcessId = 0;
    DWORD uiExitCode = 0;
    std::map<std::string, std::string> values;
};

inline std::filesystem::path GetProbePath()
{
    return std::filesystem::path(TestSupport::GetBinDirectory()) / PROBE_FILE_NAME;
}

// A fresh folder under the temporary folder, unique to this process.
inline std::filesystem::path MakeScratchFolder(const wchar_t* szName)
{
    std::filesystem::path folder =
        std::filesystem::temp_directory_path() / (std::wstring(szName) + L"-" + std::to_wstring(GetCurrentProcessId()));
    std::error_code error;
    std::filesystem::remove_all(folder, error);
    std::filesystem::create_directories(folder);
    return folder;
}

inline std::map<std::string, std::string> ParseLines(const std::string& strOutput)
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

inline SProbeResult RunProbe(const std::wstring& wstrExePath)
{
    SProbeResult result;
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), nullptr, TRUE};
    HANDLE hRead = nullptr;
    HANDLE hWrite = nullptr;
    if (!CreatePipe(&hRead, &hWrite, &attributes, 0))
        return result;
    SetHandleInformation(hRead, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = hWrite;
    startup.hStdError = hWrite;
    PROCESS_INFORMATION process = {};
    std::wstring wstrCommandLine = L"\"" + wstrExePath + L"\"";
    result.bStarted = CreateProcessW(wstrExePath.c_str(), wstrCommandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                     nullptr, &startup, &process);
    CloseHandle(hWrite);
    if (!result.bStarted)
    {
        CloseHandle(hRead);
        return result;
    }

    std::string strOutput;
    char chunk[PIPE_CHUNK_BYTES];
    DWORD uiRead = 0;
    while (ReadFile(hRead, chunk, PIPE_CHUNK_BYTES, &uiRead, nullptr) && uiRead != 0)
        strOutput.append(chunk, uiRead);
    CloseHandle(hRead);

    WaitForSingleObject(process.hProcess, PROBE_TIMEOUT_MS);
    GetExitCodeProcess(process.hProcess, &result.uiExitCode);
    result.uiProcessId = process.dwProcessId;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    result.values = ParseLines(strOutput);
    return result;
}
} // namespace ProbeRunner
