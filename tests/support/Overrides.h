#pragma once

// Scoped replacements of the library's test seams: each puts the previous
// one back however the test ends.
#include <string>
#include <vector>

#include "SString.Seam.h"
#include "SharedUtil.Assert.h"

namespace TestSupport
{
// Records assertion texts instead of aborting.
class CAssertRecorder
{
public:
    CAssertRecorder() : m_pPrevious(SharedUtil::SetAssertHandler(Record)) { Recorded().clear(); }
    ~CAssertRecorder() { SharedUtil::SetAssertHandler(m_pPrevious); }
    CAssertRecorder(const CAssertRecorder&) = delete;
    CAssertRecorder& operator=(const CAssertRecorder&) = delete;

    const std::vector<std::string>& Asserts() const { return Recorded(); }

private:
    static std::vector<std::string>& Recorded()
    {
        static std::vector<std::string> s_asserts;
        return s_asserts;
    }
    static void Record(const char* szExpression, const char*, int) { Recorded().push_back(szExpression); }

    SharedUtil::AssertHandler m_pPrevious;
};

// Replaces the C library's vsnprintf behind SString's formatting.
class CFormatPassOverride
{
public:
    explicit CFormatPassOverride(SharedUtil::FormatPassFunction pFunction)
        : m_pPrevious(SharedUtil::SetFormatPassFunction(pFunction))
    {
    }
    ~CFormatPassOverride() { SharedUtil::SetFormatPassFunction(m_pPrevious); }
    CFormatPassOverride(const CFormatPassOverride&) = delete;
    CFormatPassOverride& operator=(const CFormatPassOverride&) = delete;

private:
    SharedUtil::FormatPassFunction m_pPrevious;
};
} // namespace TestSupport
