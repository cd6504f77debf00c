#pragma once

// The one way tests replace a library seam: the setter's contract is "install
// this value, return the one before", and the previous value comes back at
// every exit from the scope, also when an assertion or exception leaves it.
namespace TestSupport
{
template <typename T> class CScopedOverride
{
public:
    using Setter = T (*)(T);

    CScopedOverride(Setter pSetter, T replacement) : m_pSetter(pSetter), m_previous(pSetter(replacement)) {}
    ~CScopedOverride() { m_pSetter(m_previous); }
    CScopedOverride(const CScopedOverride&) = delete;
    CScopedOverride& operator=(const CScopedOverride&) = delete;

private:
    Setter m_pSetter;
    T m_previous;
};

// The replacement converts to the seam's type (a captureless lambda, a
// function of the exact signature, nullptr).
template <typename T, typename U> CScopedOverride(T (*)(T), U) -> CScopedOverride<T>;
} // namespace TestSupport
