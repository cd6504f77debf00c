#include "support/Win32TestSupport.Win32.h"

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "SharedUtil.Encoding.h"
#include "SharedUtil.Path.h"
#include "SharedUtil.ReportLog.h"

namespace TestSupport
{
namespace
{
constexpr DWORD POLL_INTERVAL_MS = 20;
constexpr DWORD PATH_BUFFER_UNITS = 32768;
constexpr int MESSAGE_BOX_TEXT_ID = 0xFFFF; // the static control of a message box
constexpr int WINDOW_TEXT_MAX = 8192;
const wchar_t* const MESSAGE_BOX_CLASS = L"#32770";

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
    wchar_t wszClass[64] = {};
    GetClassNameW(hWnd, wszClass, 64);
    if (dwOwner == pFind->dwProcessId && wcscmp(wszClass, MESSAGE_BOX_CLASS) == 0 && IsWindowVisible(hWnd))
    {
        pFind->hFound = hWnd;
        return FALSE;
    }
    return TRUE;
}

} // namespace

std::wstring GetBinDirectory()
{
    std::wstring wstrPath(PATH_BUFFER_UNITS, L'\0');
    DWORD dwLength = GetModuleFileNameW(nullptr, wstrPath.data(), PATH_BUFFER_UNITS);
    wstrPath.resize(dwLength);
    return wstrPath.substr(0, wstrPath.find_last_of(L'\\'));
}

CTempFolder::CTempFolder()
{
    static unsigned int s_uiCounter = 0;
    wchar_t wszTemp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, wszTemp);
    m_wstrPath = std::wstring(wszTemp) + L"vdtest-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::to_wstring(++s_uiCounter);
    std::error_code ec;
    std::filesystem::remove_all(m_wstrPath, ec);
    std::filesystem::create_directories(m_wstrPath, ec);
}

CTempFolder::~CTempFolder()
{
    std::error_code ec;
    std::filesystem::remove_all(m_wstrPath, ec);
}

bool CopyFileTo(const std::wstring& wstrFrom, const std::wstring& wstrTo)
{
    return CopyFileW(wstrFrom.c_str(), wstrTo.c_str(), FALSE) != 0;
}

bool WriteBytesToFile(const std::wstring& wstrPath, const std::string& strBytes)
{
    std::ofstream file(std::filesystem::path(wstrPath), std::ios::binary | std::ios::trunc);
    file.write(strBytes.data(), static_cast<std::streamsize>(strBytes.size()));
    return static_cast<bool>(file);
}

std::string ReadBytesFromFile(const std::wstring& wstrPath)
{
    std::ifstream file(std::filesystem::path(wstrPath), std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

bool CreateFolders(const std::wstring& wstrPath)
{
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(wstrPath), ec);
    return std::filesystem::is_directory(std::filesystem::path(wstrPath), ec);
}

SChildResult RunChild(const std::wstring& wstrProgram, const std::wstring& wstrArguments, DWORD dwTimeoutMs,
                      const std::function<void(DWORD dwProcessId)>& pfnWhileRunning)
{
    std::wstring wstrCommandLine = L"\"" + wstrProgram + L"\"";
    if (!wstrArguments.empty())
        wstrCommandLine += L" " + wstrArguments;
    return RunChildCommandLine(wstrProgram, wstrCommandLine, wstrProgram.substr(0, wstrProgram.find_last_of(L'\\')),
                               dwTimeoutMs, pfnWhileRunning);
}

SChildResult RunChildCommandLine(const std::wstring& wstrProgram, const std::wstring& wstrCommandLine,
                                 const std::wstring& wstrWorkingFolder, DWORD dwTimeoutMs,
                                 const std::function<void(DWORD dwProcessId)>& pfnWhileRunning)
{
    SChildResult result;
    std::wstring wstrMutableCommandLine = wstrCommandLine;
    STARTUPINFOW startupInfo = {};
    startupInfo.cb = sizeof(startupInfo);
    PROCESS_INFORMATION processInfo = {};
    if (!CreateProcessW(wstrProgram.c_str(), wstrMutableCommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        wstrWorkingFolder.c_str(), &startupInfo, &processInfo))
        return result;
    result.bStarted = true;
    result.dwProcessId = processInfo.dwProcessId;

    ULONGLONG ullDeadline = GetTickCount64() + dwTimeoutMs;
    while (WaitForSingleObject(processInfo.hProcess, POLL_INTERVAL_MS) == WAIT_TIMEOUT)
    {
        if (GetTickCount64() > ullDeadline)
        {
            TerminateProcess(processInfo.hProcess, ~0u);
            WaitForSingleObject(processInfo.hProcess, INFINITE);
            break;
        }
        if (pfnWhileRunning)
            pfnWhileRunning(processInfo.dwProcessId);
    }
    result.bFinished = GetTickCount64() <= ullDeadline;
    GetExitCodeProcess(processInfo.hProcess, &result.dwExitCode);
    CloseHandle(processInfo.hThread);
    CloseHandle(processInfo.hProcess);
    return result;
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

std::vector<SString> ReadReportLogLinesOf(DWORD dwProcessId)
{
    static const std::regex header(R"(^\d+: \d{4}-\d\d-\d\d \d\d:\d\d:\d\d \[[^\]]*\] \[([0-9-]+)\] - )");
    const SString strLog = SharedUtil::CombinePath(SharedUtil::GetVersionDataFolder(), "report.log");
    std::istringstream content(ReadBytesFromFile(SharedUtil::Utf8ToWide(strLog)));

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
