#pragma once

// What stands in the way of an append to a shared file: another process's
// byte-range lock, and a disk that fills up in the middle of a write.
#include <cstdint>
#include <string>

#include "SharedUtil.ScopedHandle.Win32.h"
#include "SharedUtil.Windows.h"
#include "support/Win32TestSupport.Win32.h"

namespace TestSupport
{
constexpr const wchar_t* FILE_LOCK_HOLDER_FILE_NAME = L"file_lock_holder.exe";

// What the holder locks: the whole file, as anyone who may read it can, or
// only the byte of the append lock, as another writer does.
enum class ELockedRange
{
    WHOLE_FILE,
    APPEND_LOCK_BYTE,
};

enum class ELockMode
{
    SHARED,
    EXCLUSIVE,
};

// A second process that opens an existing file for reading only and holds a
// LockFileEx lock on it, until Release or the end of the object.
class CFileLockHolder
{
public:
    CFileLockHolder(const std::wstring& wstrFile, ELockedRange eRange, ELockMode eMode);
    ~CFileLockHolder();
    CFileLockHolder(const CFileLockHolder&) = delete;
    CFileLockHolder& operator=(const CFileLockHolder&) = delete;

    bool IsHeld() const { return m_bHeld; }
    // Lets go and waits until the holder has ended, and with it its lock.
    void Release();

private:
    SharedUtil::CScopedKernelHandle m_Held;
    SharedUtil::CScopedKernelHandle m_Release;
    CChildProcess m_Process;
    bool m_bHeld = false;
};

// Counts the tries for the append lock while it lives; with a holder given,
// lets that holder go at the first try it refuses.
class CAppendLockTries
{
public:
    explicit CAppendLockTries(CFileLockHolder* pReleaseOnRefusal = nullptr);
    ~CAppendLockTries();
    CAppendLockTries(const CAppendLockTries&) = delete;
    CAppendLockTries& operator=(const CAppendLockTries&) = delete;

    uint32_t GetCount() const;
};

// Stand-ins for the append's write, each as a full disk leaves it: half the
// bytes written and the write failed, half written and counted as such,
// nothing written.
BOOL WINAPI WriteHalfThenFailAsDiskFull(HANDLE hFile, LPCVOID pData, DWORD dwBytes, LPDWORD pdwWritten,
                                        LPOVERLAPPED pOverlapped);
BOOL WINAPI WriteHalf(HANDLE hFile, LPCVOID pData, DWORD dwBytes, LPDWORD pdwWritten, LPOVERLAPPED pOverlapped);
BOOL WINAPI WriteNothingAsDiskFull(HANDLE hFile, LPCVOID pData, DWORD dwBytes, LPDWORD pdwWritten,
                                   LPOVERLAPPED pOverlapped);
} // namespace TestSupport
