// Holds a byte-range lock on a file, as another writer or anyone who may read
// the file can, until told to let go:
//   file_lock_holder <held event> <release event> <file> whole|append-byte shared|exclusive
// opens the existing file for reading only, locks the whole file or only the
// append lock's byte, signals the first event, then waits for the second one
// (or a time-out); ending lets the lock go.
#include "SharedUtil.FileAppend.Win32.h"
#include "SharedUtil.ScopedHandle.Win32.h"

#include <shellapi.h>

#include <string>

using namespace SharedUtil;

namespace
{
constexpr int HOLDER_ARG_COUNT = 6;
constexpr DWORD HOLD_TIMEOUT_MS = 120000;
constexpr DWORD SHARE_ALL = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr unsigned DWORD_BITS = 32;
} // namespace

int main()
{
    int iArgCount = 0;
    const CScopedLocalMemory args(CommandLineToArgvW(GetCommandLineW(), &iArgCount));
    if (!args || iArgCount != HOLDER_ARG_COUNT)
        return 2;
    LPWSTR* pArgs = static_cast<LPWSTR*>(args.Get());
    const CScopedKernelHandle held(OpenEventW(EVENT_MODIFY_STATE, FALSE, pArgs[1]));
    const CScopedKernelHandle release(OpenEventW(SYNCHRONIZE, FALSE, pArgs[2]));
    const CScopedKernelHandle file(CreateFileW(pArgs[3], GENERIC_READ, SHARE_ALL, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!held || !release || !file)
        return 3;

    const bool bWhole = std::wstring(pArgs[4]) == L"whole";
    OVERLAPPED range = {};
    if (!bWhole)
    {
        range.Offset = static_cast<DWORD>(APPEND_LOCK_OFFSET);
        range.OffsetHigh = static_cast<DWORD>(APPEND_LOCK_OFFSET >> DWORD_BITS);
    }
    const DWORD dwBytesLow = bWhole ? MAXDWORD : APPEND_LOCK_BYTES;
    const DWORD dwBytesHigh = bWhole ? MAXDWORD : 0;
    const DWORD dwFlags =
        LOCKFILE_FAIL_IMMEDIATELY | (std::wstring(pArgs[5]) == L"exclusive" ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    if (!LockFileEx(file.Get(), dwFlags, 0, dwBytesLow, dwBytesHigh, &range))
        return 4;
    SetEvent(held.Get());
    WaitForSingleObject(release.Get(), HOLD_TIMEOUT_MS);
    return 0;
}
