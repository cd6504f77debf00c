#pragma once

// Windows test helpers: temporary folders, child processes, the message boxes
// they show and the report-log lines they write.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "SString.h"
#include "SharedUtil.Windows.h"

namespace TestSupport
{
// The folder holding the running test program, and everything built with it.
std::wstring GetBinDirectory();

// A uniquely named folder under the temporary folder, removed with its
// contents on destruction.
class CTempFolder
{
public:
    CTempFolder();
    ~CTempFolder();
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    const std::wstring& GetPath() const { return m_wstrPath; }

private:
    std::wstring m_wstrPath;
};

bool CopyFileTo(const std::wstring& wstrFrom, const std::wstring& wstrTo);
bool WriteBytesToFile(const std::wstring& wstrPath, const std::string& strBytes);
// The whole file, or an empty text when it cannot be read.
std::string ReadBytesFromFile(const std::wstring& wstrPath);
// Creates every missing folder of the path.
bool CreateFolders(const std::wstring& wstrPath);

struct SChildResult
{
    bool bStarted = false;
    bool bFinished = false;
    DWORD dwProcessId = 0;
    DWORD dwExitCode = 0;
};

// Starts a program with the given command line (after the program's quoted
// path), in the program's folder, and waits for it up to dwTimeoutMs. While it runs, pfnWhileRunning is
// called every few milliseconds with its process id. A child still running at
// the time-out is terminated.
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
// each without its line feed; multi-line messages are joined back.
std::vector<SString> ReadReportLogLinesOf(DWORD dwProcessId);
// Splits a report-log line into its id and message (after "] - ").
bool SplitReportLogLine(const SString& strLine, uint32_t& uiId, SString& strMessage);
} // namespace TestSupport
