#pragma once

// Windows test helpers: the tests' own folder and the programs built beside
// it, files (whole files through FileBytes.h), child processes, the message
// boxes they show and the report-log lines they write.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "SString.h"
#include "SharedUtil.ScopedHandle.Win32.h"
#include "SharedUtil.Windows.h"
#include "support/FileBytes.h"
#include "support/TempFolder.h"

namespace TestSupport
{
// How often a test looks again at something that happens in another process.
constexpr DWORD POLL_INTERVAL_MS = 20;

// The folder holding the running test program, and everything built with it.
std::wstring GetBinDirectory();
// A helper program built beside the tests.
std::wstring GetHelperPath(const wchar_t* szFileName);

bool CopyFileTo(const std::wstring& wstrFrom, const std::wstring& wstrTo);
// Creates every missing folder of the path.
bool CreateFolders(const std::wstring& wstrPath);

// True under Wine, for the assertions where Wine and Windows differ.
bool IsRunningOnWine();

// The system's text for an error code straight from FormatMessageW, line
// breaks and all, independently of the code under test; empty when the
// system has none.
SString GetSystemErrorText(DWORD dwError);

// Sets an environment variable for the scope (and the children started in
// it), or removes it when given no value, then puts the old value back.
class CScopedEnvironment
{
public:
    CScopedEnvironment(const wchar_t* wszName, const std::optional<std::wstring>& value);
    ~CScopedEnvironment();
    CScopedEnvironment(const CScopedEnvironment&) = delete;
    CScopedEnvironment& operator=(const CScopedEnvironment&) = delete;

private:
    const wchar_t* m_wszName;
    std::wstring m_wstrOld;
    bool m_bWasSet;
};

// A program started by a test. A child still running when the object goes is
// terminated.
class CChildProcess
{
public:
    CChildProcess() = default;
    ~CChildProcess();
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    // Starts the program with the arguments after its quoted path, in the
    // program's folder. With bCaptureOutput its standard output and error go
    // to a pipe that ReadOutput reads.
    bool Start(const std::wstring& wstrProgram, const std::wstring& wstrArguments, bool bCaptureOutput = false);
    // The same with the whole command line as given (the program name in it
    // need not be quoted) and the working folder of the caller's choice.
    bool StartCommandLine(const std::wstring& wstrProgram, const std::wstring& wstrCommandLine,
                          const std::wstring& wstrWorkingFolder, bool bCaptureOutput = false);

    DWORD GetProcessId() const { return m_dwProcessId; }
    bool HasEnded() const;

    // Waits up to dwTimeoutMs, calling pfnWhileRunning every POLL_INTERVAL_MS
    // while the child runs. The exit code; nothing when the child still runs
    // at the time-out, or the system gave no process to wait for.
    std::optional<DWORD> WaitForExit(DWORD dwTimeoutMs, const std::function<void()>& pfnWhileRunning = nullptr);

    // Ends a running child with exit code ~0u and waits until it has ended.
    void Terminate();

    // Everything the child writes to standard output and error, once it has
    // closed them (normally: ended).
    std::string ReadOutput();

private:
    SharedUtil::CScopedKernelHandle m_Process;
    SharedUtil::CScopedKernelHandle m_OutputRead;
    DWORD m_dwProcessId = 0;
};

struct SChildResult
{
    bool bStarted = false;
    bool bFinished = false;
    DWORD dwProcessId = 0;
    DWORD dwExitCode = 0;
};

// Runs a program as CChildProcess does and waits for it up to dwTimeoutMs,
// calling pfnWhileRunning with its process id while it runs. A child still
// running at the time-out is terminated (bFinished false).
SChildResult RunChild(const std::wstring& wstrProgram, const std::wstring& wstrArguments, DWORD dwTimeoutMs,
                      const std::function<void(DWORD dwProcessId)>& pfnWhileRunning = nullptr);
// The same with the whole command line as given (the program name in it need
// not be quoted) and the working folder of the caller's choice.
SChildResult RunChildCommandLine(const std::wstring& wstrProgram, const std::wstring& wstrCommandLine,
                                 const std::wstring& wstrWorkingFolder, DWORD dwTimeoutMs,
                                 const std::function<void(DWORD dwProcessId)>& pfnWhileRunning = nullptr);

// A message box (dialog class "#32770") shown by the given process.
struct SMessageBox
{
    HWND hWnd = nullptr;
    SString strCaption;
    SString strText;
    bool bHasYes = false;
    bool bHasNo = false;
    bool bHasOk = false;
};
// Polls for a message box of the process up to dwTimeoutMs; hWnd is null when
// none appeared.
SMessageBox WaitForMessageBox(DWORD dwProcessId, DWORD dwTimeoutMs);
// Presses a button (IDYES, IDNO, IDOK) the way a click does.
void PressMessageBoxButton(const SMessageBox& box, int iButtonId);

// The report-log lines written by one process (picked by its process tag),
// each without its line feed; multi-line messages are joined back. Only the
// log from uiFromByte on is read: the system reuses process ids, and the log
// keeps the lines of every earlier process of the Wine prefix.
std::vector<SString> ReadReportLogLinesOf(DWORD dwProcessId, std::size_t uiFromByte = 0);

// The report log's length in bytes, where a process started next writes on.
std::size_t GetReportLogSize();
// Splits a report-log line into its id and message (after "] - ").
bool SplitReportLogLine(const SString& strLine, uint32_t& uiId, SString& strMessage);
} // namespace TestSupport
