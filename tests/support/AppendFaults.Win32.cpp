#include "support/AppendFaults.Win32.h"

#include "SharedUtil.FileAppend.Win32.Seam.h"
#include "SharedUtil.LastError.Win32.h"

#include <utility>

namespace TestSupport
{
namespace
{
constexpr DWORD HOLDER_START_TIMEOUT_MS = 30000;
constexpr DWORD HOLDER_EXIT_TIMEOUT_MS = 30000;

uint32_t g_uiLockTries = 0;
CFileLockHolder* g_pReleaseOnRefusal = nullptr;
SharedUtil::AppendLockFunction g_pfnPreviousLock = nullptr;

BOOL WINAPI CountLockTry(HANDLE hFile, DWORD dwFlags, DWORD dwReserved, DWORD dwBytesLow, DWORD dwBytesHigh,
                         LPOVERLAPPED pRange)
{
    ++g_uiLockTries;
    const BOOL bLocked = LockFileEx(hFile, dwFlags, dwReserved, dwBytesLow, dwBytesHigh, pRange);
    if (!bLocked && g_pReleaseOnRefusal)
    {
        const SharedUtil::CLastErrorKeeper keepRefusal;
        std::exchange(g_pReleaseOnRefusal, nullptr)->Release();
    }
    return bLocked;
}

std::wstring UniqueEventName(const wchar_t* wszPurpose)
{
    static uint32_t s_uiHolders = 0;
    return std::wstring(L"Local\\ValdrenneLock") + wszPurpose + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(++s_uiHolders);
}
} // namespace

CFileLockHolder::CFileLockHolder(const std::wstring& wstrFile, ELockedRange eRange, ELockMode eMode)
{
    const std::wstring wstrHeld = UniqueEventName(L"Held");
    const std::wstring wstrRelease = UniqueEventName(L"Release");
    m_Held.Reset(CreateEventW(nullptr, TRUE, FALSE, wstrHeld.c_str()));
    m_Release.Reset(CreateEventW(nullptr, TRUE, FALSE, wstrRelease.c_str()));
    const std::wstring wstrArguments = wstrHeld + L" " + wstrRelease + L" \"" + wstrFile + L"\" " +
                                       (eRange == ELockedRange::WHOLE_FILE ? L"whole" : L"append-byte") + L" " +
                                       (eMode == ELockMode::EXCLUSIVE ? L"exclusive" : L"shared");
    if (!m_Held || !m_Release || !m_Process.Start(GetHelperPath(FILE_LOCK_HOLDER_FILE_NAME), wstrArguments))
        return;
    for (DWORD dwWaited = 0; dwWaited < HOLDER_START_TIMEOUT_MS && !m_Process.HasEnded(); dwWaited += POLL_INTERVAL_MS)
    {
        if (WaitForSingleObject(m_Held.Get(), POLL_INTERVAL_MS) == WAIT_OBJECT_0)
        {
            m_bHeld = true;
            return;
        }
    }
}

CFileLockHolder::~CFileLockHolder()
{
    Release();
}

void CFileLockHolder::Release()
{
    if (!m_bHeld)
        return;
    m_bHeld = false;
    SetEvent(m_Release.Get());
    m_Process.WaitForExit(HOLDER_EXIT_TIMEOUT_MS);
}

CAppendLockTries::CAppendLockTries(CFileLockHolder* pReleaseOnRefusal)
{
    g_uiLockTries = 0;
    g_pReleaseOnRefusal = pReleaseOnRefusal;
    g_pfnPreviousLock = SharedUtil::SetAppendLockFunction(&CountLockTry);
}

CAppendLockTries::~CAppendLockTries()
{
    SharedUtil::SetAppendLockFunction(g_pfnPreviousLock);
    g_pReleaseOnRefusal = nullptr;
}

uint32_t CAppendLockTries::GetCount() const
{
    return g_uiLockTries;
}

BOOL WINAPI WriteHalfThenFailAsDiskFull(HANDLE hFile, LPCVOID pData, DWORD dwBytes, LPDWORD pdwWritten,
                                        LPOVERLAPPED pOverlapped)
{
    WriteFile(hFile, pData, dwBytes / 2, pdwWritten, pOverlapped);
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

BOOL WINAPI WriteHalf(HANDLE hFile, LPCVOID pData, DWORD dwBytes, LPDWORD pdwWritten, LPOVERLAPPED pOverlapped)
{
    return WriteFile(hFile, pData, dwBytes / 2, pdwWritten, pOverlapped);
}

BOOL WINAPI WriteNothingAsDiskFull(HANDLE, LPCVOID, DWORD, LPDWORD pdwWritten, LPOVERLAPPED)
{
    *pdwWritten = 0;
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
}
} // namespace TestSupport
