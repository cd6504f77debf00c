#pragma once

#include <cstdint>
#include <new>
#include <utility>

// Value-or-error record of the launch steps: holds either a value or an
// error code of the step's own code set (an enum of LaunchIds.h), and
// bHasValue says which. A failure also carries the system error of the call
// that failed (0 where no system call failed), taken as that call returned:
// the thread's last error may have changed by the time the caller reads it.
// The value is destroyed only when one is held.
template <typename T, typename Code> struct SLaunchResult
{
    bool bHasValue;
    uint32_t uiSystemError;
    union
    {
        T value;
        Code eError;
    };

    static SLaunchResult Success(T valueIn) { return SLaunchResult(std::move(valueIn)); }
    static SLaunchResult Failure(Code eErrorIn, uint32_t uiSystemErrorIn = 0)
    {
        return SLaunchResult(eErrorIn, uiSystemErrorIn);
    }

    SLaunchResult(SLaunchResult&& other) noexcept : bHasValue(other.bHasValue), uiSystemError(other.uiSystemError)
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
    explicit SLaunchResult(T&& valueIn) : bHasValue(true), uiSystemError(0) { new (&value) T(std::move(valueIn)); }
    SLaunchResult(Code eErrorIn, uint32_t uiSystemErrorIn)
        : bHasValue(false), uiSystemError(uiSystemErrorIn), eError(eErrorIn)
    {
    }
};
