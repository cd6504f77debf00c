#pragma once
// GoogleTest's own place for port settings, found ahead of its empty one
// (cmake/ThirdParty.cmake). The Windows builds' libstdc++ (the win32-threads
// variant) has no std::mutex or std::condition_variable, on which
// GoogleTest builds its Notification: this one polls a flag instead. Only
// GoogleTest's own thread helpers use it.
#if defined(_WIN32)
#include <atomic>
#include <chrono>
#include <thread>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing::internal
{
class Notification
{
public:
    Notification() = default;
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    void Notify() { m_bNotified.store(true, std::memory_order_release); }
    void WaitForNotification()
    {
        constexpr std::chrono::milliseconds POLL_INTERVAL{1};
        while (!m_bNotified.load(std::memory_order_acquire))
            std::this_thread::sleep_for(POLL_INTERVAL);
    }

private:
    std::atomic<bool> m_bNotified = false;
};
} // namespace testing::internal
#endif
