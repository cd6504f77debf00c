// Stands in for the browser: registered by the tests as the https protocol
// handler, it records the address it was given and the id of the process that
// started it (which may have ended since), as "parent-pid=<id>" and
// "url=<address>" lines, in the file named by VALDRENNE_URL_RECORD. The file
// appears complete or not at all.
#include "SharedUtil.Encoding.h"
#include "SharedUtil.ScopedHandle.Win32.h"
#include "support/FileBytes.h"

#include <shellapi.h>
#include <tlhelp32.h>

#include <string>

using namespace SharedUtil;

namespace
{
constexpr DWORD ENV_VALUE_MAX_UNITS = 32768;
constexpr const wchar_t* RECORD_FILE_VARIABLE = L"VALDRENNE_URL_RECORD";

DWORD GetParentProcessId()
{
    const DWORD dwOwnId = GetCurrentProcessId();
    const CScopedKernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return 0;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    DWORD dwParentId = 0;
    for (BOOL bMore = Process32FirstW(snapshot.Get(), &entry); bMore; bMore = Process32NextW(snapshot.Get(), &entry))
    {
        if (entry.th32ProcessID == dwOwnId)
            dwParentId = entry.th32ParentProcessID;
    }
    return dwParentId;
}
} // namespace

int main()
{
    std::wstring wstrRecordFile(ENV_VALUE_MAX_UNITS, L'\0');
    const DWORD dwLength = GetEnvironmentVariableW(RECORD_FILE_VARIABLE, wstrRecordFile.data(), ENV_VALUE_MAX_UNITS);
    if (dwLength == 0 || dwLength >= ENV_VALUE_MAX_UNITS)
        return 2;
    wstrRecordFile.resize(dwLength);

    int iArgCount = 0;
    const CScopedLocalMemory args(CommandLineToArgvW(GetCommandLineW(), &iArgCount));
    const std::wstring wstrUrl = (args && iArgCount > 1) ? static_cast<LPWSTR*>(args.Get())[1] : L"";

    const std::string strRecord =
        "parent-pid=" + std::to_string(GetParentProcessId()) + "\nurl=" + WideToUtf8(wstrUrl) + "\n";
    const std::wstring wstrPartFile = wstrRecordFile + L".part";
    if (!TestSupport::WriteBytesToFile(wstrPartFile, strRecord) ||
        !MoveFileExW(wstrPartFile.c_str(), wstrRecordFile.c_str(), MOVEFILE_REPLACE_EXISTING))
        return 3;
    return 0;
}
