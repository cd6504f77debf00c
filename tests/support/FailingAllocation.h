#pragma once

#include <cstddef>

// For test programs that link support/FailingAllocation.cpp, which replaces
// the program's operator new: one chosen allocation fails with
// std::bad_alloc, as any may when memory runs out.
namespace TestSupport
{
// While alive, the first uiFailures allocations of exactly uiBytes bytes
// made by this thread throw std::bad_alloc; all others are served as usual.
class CScopedFailingAllocation
{
public:
    explicit CScopedFailingAllocation(std::size_t uiBytes, std::size_t uiFailures = 1);
    ~CScopedFailingAllocation();
    CScopedFailingAllocation(const CScopedFailingAllocation&) = delete;
    CScopedFailingAllocation& operator=(const CScopedFailingAllocation&) = delete;

    // Whether such an allocation was asked for, and failed.
    bool HasFailed() const;
};

// What a std::wstring of uiUnits characters asks for: a terminator more.
constexpr std::size_t WideTextBytes(std::size_t uiUnits)
{
    return (uiUnits + 1) * sizeof(wchar_t);
}
} // namespace TestSupport
