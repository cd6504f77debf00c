#pragma once

#include <new>
#include <utility>

// Value-or-error record of the launch steps: holds either a value or an
// integer error code, and bHasValue says which. The value is destroyed only
// when one is held.
template <typename T> struct SLaunchResult
{
    bool bHasValue;
    union
    {
        T value;
        int iErrorCode;
    };

    static SLaunchResult Success(T valueIn) { return SLaunchResult(std::move(valueIn)); }
    static SLaunchResult Failure(int iErrorCodeIn) { return SLaunchResult(iErrorCodeIn, 0); }

    SLaunchResult(SLaunchResult&& other) noexcept : bHasValue(other.bHasValue)
    {
        if (bHasValue)
            new (&value) T(std::move(other.value));
        else
            iErrorCode = other.iErrorCode;
    }
    SLaunchResult(const SLaunchResult&) = delete;
    SLaunchResult& operator=(const SLaunchResult&) = delete;
    SLaunchResult& operator=(SLaunchResult&&) = delete;

    ~SLaunchResult()
    {
        if (bHasValue)
            value.~T();
    }

private:
    explicit SLaunchResult(T&& valueIn) : bHasValue(true) { new (&value) T(std::move(valueIn)); }
    SLaunchResult(int iErrorCodeIn, int) : bHasValue(false), iErrorCode(iErrorCodeIn) {}
};
