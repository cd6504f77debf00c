#include "support/Win32TestSupport.Win32.h"

#include <filesystem>
#include <regex>
#include <sstream>

#include "SharedUtil.Encoding.h"
#include "SharedUtil.Path.h"
#include "SharedUtil.ReportLog.Win32.h"

namespace TestSupport
{
namespace
{
constexpr DWORD PATH_BUFFER_UNITS = 32768;
constexpr int MESSAGE_BOX_TEXT_ID = 0xFFFF; // the static control of a message box
constexpr int WINDOW_TEXT_MAX = 8192;
constexpr DWORD PIPE_CHUNK_BYTES = 4096;
const wchar_t* const MESSAGE_BOX_CLASS = L"#32770";
constexpr int WINDOW_CLASS_MAX_UNITS = 64;
constexpr DWORD SYSTEM_TEXT_MAX_UNITS = 4096;

SString GetWindowTextUtf8(HWND hWnd)
{
    std::wstring wstrText(WINDOW_TEXT_MAX, L'\0');
    int iLength = GetWindowTextW(hWnd, wstrText.data(), WINDOW_TEXT_MAX);
    wstrText.resize(iLength > 0 ? static_cast<std::size_t>(iLength) : 0);
    return SharedUtil::WideToUtf8(wstrText);
}

struct SFindBox
{
    DWORD dwProcessId;
    HWND hFound;
};

BOOL CALLBACK FindMessageBoxOfProcess(HWND hWnd, LPARAM lParam)
{
    auto* pFind = reinterpret_cast<SFindBox*>(lParam);
    DWORD dwOwner = 0;
    GetWindowThreadProcessId(hWnd, &dwOwner);
    wchar_t wszClass[WINDOW_CLASS_MAX_UNITS] = {};
    GetClassNameW(hWnd, wszClass, WINDOW_CLASS_MAX_UNITS);
    if (dwOwner == pFind->dwProcessId && wcscmp(wszClass, MESSAGE_BOX_CLASS) == 0 && IsWindowVisible(hWnd))
    {
        pFind->hFound = hWnd;
        return FALSE;
    }
    return TRUE;
}

std::wstring GetFolderOf(const std::wstring& wstrPath)
{
    return wstrPath.substr(0, wstrPath.find_last_of(L'\\'));
}

// Waits for a started child as RunChild promises.
SChildResult RunStarted(CChildProcess& child, bool bStarted, DWORD dwTimeoutMs,
                        const std::function<void(DWORD dwProcessId)>& pfnWhileRunning)
{
    SChildResult result;
    if (!bStarted)
        return result;
    result.bStarted = true;
    result.dwProcessId = child.GetProcessId();
    std::optional<DWORD> exitCode = child.WaitForExit(dwTimeoutMs,
                                                      [&]
                                                      {
                                                          if (pfnWhileRunning)
                                                              pfnWhileRunning(result.dwProcessId);
                                                      });
    result.bFinished = exitCode.has_value();
    if (!result.bFinished)
    {
        child.Terminate();
        exitCode = child.WaitForExit(0);
    }
    result.dwExitCode = exitCode.value_or(~0u);
    return result;
}

std::string ReadReportLog()
{
    const SString strLog = SharedUtil::CombinePath(SharedUtil::GetVersionDataFolder(), "report.log");
    return ReadBytesFromFile(SharedUtil::Utf8ToWide(strLog));
}
} // namespace

std::wstring GetBinDirectory()
{
    std::wstring wstrPath(PATH_BUFFER_UNITS, L'\0');
    DWORD dwLength = GetModuleFileNameW(nullptr, wstrPath.data(), PATH_BUFFER_UNITS);
    wstrPath.resize(dwLength);
    return GetFolderOf(wstrPath);
}

std::wstring GetHelperPath(const wchar_t* szFileName)
{
    return GetBinDirectory() + L"\\" + szFileName;
}

bool CopyFileTo(const std::wstring& wstrFrom, const std::wstring& wstrTo)
{
    return CopyFileW(wstrFrom.c_str(), wstrTo.c_str(), FALSE) != 0;
}

bool CreateFolders(const std::wstring& wstrPath)
{
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(wstrPath), ec);
    return std::filesystem::is_directory(std::filesystem::path(wstrPath), ec);
}

bool IsRunningOnWine()
{
    const HMODULE hNtdll = GetModuleHandleW(L"ntdll.dll");
    return hNtdll && GetProcAddress(hNtdll, "wine_get_version");
}

SString GetSystemErrorText(DWORD dwError)
{
    std::wstring wstrText(SYSTEM_TEXT_MAX_UNITS, L'\0');
    const DWORD dwLength =
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, dwError,
                       MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), wstrText.data(), SYSTEM_TEXT_MAX_UNITS, nullptr);
    wstrText.resize(dwLength);
    return SharedUtil::WideToUtf8(wstrText);
}

CChildProcess::~CChildProcess()
{
    if (!HasEnded())
        Terminate();
}

bool CChildProcess::Start(const std::wstring& wstrProgram, const std::wstring& wstrArguments, bool bCaptureOutput)
{
    std::wstring wstrCommandLine = L"\"" + wstrProgram + L"\"";
    if (!wstrArguments.empty())
        wstrCommandLine += L" " + wstrArguments;
    return StartCommandLine(wstrProgram, wstrCommandLine, GetFolderOf(wstrProgram), bCaptureOutput);
}

bool CChildProcess::StartCommandLine(const std::wstring& wstrProgram, const std::wstring& wstrCommandLine,
                                     const std::wstring& wstrWorkingFolder, bool bCaptureOutput)
{
    STARTUPINFOW startupInfo = {};
    startupInfo.cb = sizeof(startupInfo);
    // The child's end of the pipe; this process lets go of it once the child has it.
    SharedUtil::CScopedKernelHandle outputWrite;
    if (bCaptureOutput)
    {
        SECURITY_ATTRIBUTES attributes = {sizeof(attributes), nullptr, TRUE};
        HANDLE hRead = nullptr;
        HANDLE hWrite = nullptr;
        if (!CreatePipe(&hRead, &hWrite, &attributes, 0))
            return false;
        m_OutputRead.Reset(hRead);
        outputWrite.Reset(hWrite);
        SetHandleInformation(hRead, HANDLE_FLAG_INHERIT, 0);
        startupInfo.dwFlags = STARTF_USESTDHANDLES;
        startupInfo.hStdOutput = hWrite;
        startupInfo.hStdError = hWrite;
    }

    PROCESS_INFORMATION processInfo = {};
    // CreateProcessW may write into the command line.
    std::wstring wstrMutableCommandLine = wstrCommandLine;
    if (!CreateProcessW(wstrProgram.c_str(), wstrMutableCommandLine.data(), nullptr, nullptr, bCaptureOutput, 0,
                        nullptr, wstrWorkingFolder.c_str(), &startupInfo, &processInfo))
        return false;
    // Wine starts a Unix program without a process to give back: no process
    // handle, and the thread field holds no handle of ours to close.
    if (!processInfo.hProcess)
        return true;
    const SharedUtil::CScopedKernelHandle thread(processInfo.hThread);
    m_Process.Reset(processInfo.hProcess);
    m_dwProcessId = processInfo.dwProcessId;
    return true;
}

CScopedEnvironment::CScopedEnvironment(const wchar_t* wszName, const std::optional<std::wstring>& value)
    : m_wszName(wszName)
{
    const DWORD dwSize = GetEnvironmentVariableW(wszName, nullptr, 0);
    m_bWasSet = dwSize > 0;
    m_wstrOld.resize(dwSize);
    m_wstrOld.resize(GetEnvironmentVariableW(wszName, m_wstrOld.data(), dwSize));
    SetEnvironmentVariableW(wszName, value ? value->c_str() : nullptr);
}

CScopedEnvironment::~CScopedEnvironment()
{
    SetEnvironmentVariableW(m_wszName, m_bWasSet ? m_wstrOld.c_str() : nullptr);
}

bool CChildProcess::HasEnded() const
{
    return !m_Process || WaitForSingleObject(m_Process.Get(), 0) != WAIT_TIMEOUT;
}

std::optional<DWORD> CChildProcess::WaitForExit(DWORD dwTimeoutMs, const std::function<void()>& pfnWhileRunning)
{
    if (!m_Process)
        return std::nullopt;
    const ULONGLONG ullDeadline = GetTickCount64() + dwTimeoutMs;
    while (WaitForSingleObject(m_Process.Get(), POLL_INTERVAL_MS) == WAIT_TIMEOUT)
    {
        if (GetTickCount64() > ullDeadline)
            return std::nullopt;
        if (pfnWhileRunning)
            pfnWhileRunning();
    }
    DWORD dwExitCode = 0;
    GetExitCodeProcess(m_Process.Get(), &dwExitCode);
    return dwExitCode;
}

void CChildProcess::Terminate()
{
    TerminateProcess(m_Process.Get(), ~0u);
    WaitForSingleObject(m_Process.Get(), INFINITE);
}

std::string CChildProcess::ReadOutput()
{
    std::string strOutput;
    char chunk[PIPE_CHUNK_BYTES];
    DWORD dwRead = 0;
    while (m_OutputRead && ReadFile(m_OutputRead.Get(), chunk, PIPE_CHUNK_BYTES, &dwRead, nullptr) && dwRead != 0)
        strOutput.append(chunk, dwRead);
    return strOutput;
}

SChildResult RunChild(const std::wstring& wstrProgram, const std::wstring& wstrArguments, DWORD dwTimeoutMs,
                      const std::function<void(DWORD dwProcessId)>& pfnWhileRunning)
{
    CChildProcess child;
    return RunStarted(child, child.Start(wstrProgram, wstrArguments), dwTimeoutMs, pfnWhileRunning);
}

SChildResult RunChildCommandLine(const std::wstring& wstrProgram, const std::wstring& wstrCommandLine,
                                 const std::wstring& wstrWorkingFolder, DWORD dwTimeoutMs,
                                 const std::function<void(DWORD dwProcessId)>& pfnWhileRunning)
{
    CChildProcess child;
    return RunStarted(child, child.StartCommandLine(wstrProgram, wstrCommandLine, wstrWorkingFolder), dwTimeoutMs,
                      pfnWhileRunning);
}

SMessageBox WaitForMessageBox(DWORD dwProcessId, DWORD dwTimeoutMs)
{
    SMessageBox box;
    ULONGLONG ullDeadline = GetTickCount64() + dwTimeoutMs;
    SFindBox find = {dwProcessId, nullptr};
    while (true)
    {
        EnumWindows(FindMessageBoxOfProcess, reinterpret_cast<LPARAM>(&find));
        if (find.hFound || GetTickCount64() > ullDeadline)
            break;
        Sleep(POLL_INTERVAL_MS);
    }
    if (!find.hFound)
        return box;
    box.hWnd = find.hFound;
    box.strCaption = GetWindowTextUtf8(box.hWnd);
    box.strText = GetWindowTextUtf8(GetDlgItem(box.hWnd, MESSAGE_BOX_TEXT_ID));
    box.bHasYes = GetDlgItem(box.hWnd, IDYES) != nullptr;
    box.bHasNo = GetDlgItem(box.hWnd, IDNO) != nullptr;
    box.bHasOk = GetDlgItem(box.hWnd, IDOK) != nullptr;
    return box;
}

void PressMessageBoxButton(const SMessageBox& box, int iButtonId)
{
    PostMessageW(box.hWnd, WM_COMMAND, MAKEWPARAM(iButtonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box.hWnd, iButtonId)));
}

std::size_t GetReportLogSize()
{
    return ReadReportLog().size();
}

std::vector<SString> ReadReportLogLinesOf(DWORD dwProcessId, std::size_t uiFromByte)
{
    static const std::regex header(R"(^\d+: \d{4}-\d\d-\d\d \d\d:\d\d:\d\d \[[^\]]*\] \[([0-9-]+)\] - )");
    const std::string strLog = ReadReportLog();
    std::istringstream content(uiFromByte < strLog.size() ? strLog.substr(uiFromByte) : std::string());

    char szTag[32];
    snprintf(szTag, sizeof(szTag), "%05lu", static_cast<unsigned long>(dwProcessId));
    std::vector<SString> lines;
    bool bInOwnEntry = false;
    std::string strLine;
    while (std::getline(content, strLine))
    {
        std::smatch match;
        if (std::regex_search(strLine, match, header))
        {
            bInOwnEntry = match[1].str() == szTag;
            if (bInOwnEntry)
                lines.push_back(strLine);
        }
        else if (bInOwnEntry && !lines.empty())
            lines.back() += "\n" + strLine;
    }
    return lines;
}

bool SplitReportLogLine(const SString& strLine, uint32_t& uiId, SString& strMessage)
{
    std::size_t uiMessageStart = strLine.find("] - ");
    if (uiMessageStart == SString::npos)
        return false;
    uiId = static_cast<uint32_t>(std::stoul(strLine.substr(0, strLine.find(':'))));
    strMessage = strLine.substr(uiMessageStart + 4);
    return true;
}
} // namespace TestSupport
