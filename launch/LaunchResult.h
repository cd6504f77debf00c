#pragma once

#include <new>
#include <utility>

// Value-or-error record of the launch steps: holds either a value or an
// error code of the step's own code set (an enum of LaunchIds.h), and
// bHasValue says which. The value is destroyed only when one is held.
template <typename T, typename Code> struct SLaunchResult
{
    bool bHasValue;
    union
    {
        T value;
        Code eError;
    };

    static SLaunchResult Success(T valueIn) { return SLaunchResult(std::move(valueIn)); }
    static SLaunchResult Failure(Code eErrorIn) { return SLaunchResult(eErrorIn, 0); }

    SLaunchResult(SLaunchResult&& other) noexcept : bHasValue(other.bHasValue)
    {
        if (bHasValue)
            new (&value) T(std::move(other.value));
        else
            eError = other.eError;
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
    SLaunchResult(Code eErrorIn, int) : bHasValue(false), eError(eErrorIn) {}
};
