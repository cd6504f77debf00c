#include "support/TestThread.h"

#include <thread>

namespace TestSupport
{
struct CTestThread::SState
{
    std::thread thread;
};

CTestThread::CTestThread(std::function<void()> fnBody) : m_pState(new SState{std::thread(std::move(fnBody))}) {}

CTestThread::~CTestThread()
{
    Join();
}

CTestThread::CTestThread(CTestThread&&) noexcept = default;

void CTestThread::Join()
{
    if (m_pState && m_pState->thread.joinable())
        m_pState->thread.join();
}
} // namespace TestSupport
