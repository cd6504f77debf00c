#include "support/TestThread.h"

#include <cstdlib>

#include "SharedUtil.ScopedHandle.Win32.h"

namespace TestSupport
{
struct CTestThread::SState
{
    std::function<void()> fnBody;
    SharedUtil::CScopedKernelHandle hThread;
};

namespace
{
DWORD WINAPI RunBody(void* pBody)
{
    (*static_cast<std::function<void()>*>(pBody))();
    return 0;
}
} // namespace

CTestThread::CTestThread(std::function<void()> fnBody) : m_pState(new SState{std::move(fnBody), {}})
{
    m_pState->hThread.Reset(CreateThread(nullptr, 0, RunBody, &m_pState->fnBody, 0, nullptr));
    // A test that cannot start its thread cannot go on meaningfully.
    if (!m_pState->hThread.IsValid())
        std::abort();
}

CTestThread::~CTestThread()
{
    Join();
}

CTestThread::CTestThread(CTestThread&&) noexcept = default;

void CTestThread::Join()
{
    if (m_pState && m_pState->hThread.IsValid())
    {
        WaitForSingleObject(m_pState->hThread.Get(), INFINITE);
        m_pState->hThread.Reset();
    }
}
} // namespace TestSupport
