#include "SharedUtil.Shell.Win32.h"

#include <cstdint>

#include "SharedUtil.Encoding.h"
#include "SharedUtil.ScopedHandle.Win32.h"

#include <shellapi.h>

namespace SharedUtil
{
namespace
{
// ShellExecuteA's results up to this value are error codes.
constexpr intptr_t SHELL_EXECUTE_LAST_ERROR_CODE = 32;

bool LaunchAndWait(const SString& strVerb, const SString& strFile, const SString& strParameters,
                   const SString& strDirectory, int iShowCommand)
{
    const WString wstrVerb = Utf8ToWide(strVerb);
    const WString wstrFile = Utf8ToWide(strFile);
    const WString wstrParameters = Utf8ToWide(strParameters);
    const WString wstrDirectory = Utf8ToWide(strDirectory);

    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.hwnd = nullptr;
    info.lpVerb = wstrVerb.c_str();
    info.lpFile = wstrFile.c_str();
    info.lpParameters = wstrParameters.c_str();
    info.lpDirectory = wstrDirectory.c_str();
    info.nShow = iShowCommand;
    const bool bResult = ShellExecuteExW(&info) != FALSE;

    // No handle when the request went to a process that was already running.
    const CScopedKernelHandle process(info.hProcess);
    if (process)
        WaitForSingleObject(process.Get(), INFINITE);
    return bResult;
}
} // namespace

bool ShellLaunch(bool bWait, const SString& strVerb, const SString& strFile, const SString& strParameters,
                 const SString& strDirectory, int iShowCommand)
{
    SString strRoutedFile = strFile;
    SString strRoutedParameters = strParameters;
    RouteThroughUrlHandler(strVerb, strRoutedFile, strRoutedParameters);

    if (bWait)
        return LaunchAndWait(strVerb, strRoutedFile, strRoutedParameters, strDirectory, iShowCommand);

    // The narrow call takes the bytes in the system's ANSI code page, unconverted.
    const HINSTANCE hResult = ShellExecuteA(nullptr, strVerb.c_str(), strRoutedFile.c_str(),
                                            strRoutedParameters.c_str(), strDirectory.c_str(), iShowCommand);
    return reinterpret_cast<intptr_t>(hResult) > SHELL_EXECUTE_LAST_ERROR_CODE;
}
} // namespace SharedUtil
