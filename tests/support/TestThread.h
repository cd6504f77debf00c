#pragma once

#include <functional>
#include <memory>

namespace TestSupport
{
// A thread that runs fnBody and is joined when the object goes (or by
// Join). The Windows builds' runtime, the win32-threads libstdc++, has no
// std::thread.
class CTestThread
{
public:
    explicit CTestThread(std::function<void()> fnBody);
    ~CTestThread();
    CTestThread(CTestThread&&) noexcept;
    CTestThread& operator=(CTestThread&&) = delete;
    CTestThread(const CTestThread&) = delete;
    CTestThread& operator=(const CTestThread&) = delete;

    void Join();

private:
    struct SState;
    std::unique_ptr<SState> m_pState;
};
} // namespace TestSupport
