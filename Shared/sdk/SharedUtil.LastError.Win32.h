#pragma once

#include "SharedUtil.Windows.h"

namespace SharedUtil
{
// Puts the thread's last error back when it goes out of scope, also when an
// exception leaves the scope: for code that must not disturb what a failing
// call left for its caller to read.
class CLastErrorKeeper
{
public:
    CLastErrorKeeper() : m_dwError(GetLastError()) {}
    ~CLastErrorKeeper() { SetLastError(m_dwError); }
    CLastErrorKeeper(const CLastErrorKeeper&) = delete;
    CLastErrorKeeper& operator=(const CLastErrorKeeper&) = delete;

private:
    DWORD m_dwError;
};
} // namespace SharedUtil
