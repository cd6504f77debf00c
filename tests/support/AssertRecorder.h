#pragma once

// Replaces the assertion handler for its lifetime, through the one scoped
// override, and records the texts instead of aborting.
#include <string>
#include <vector>

#include "SharedUtil.Assert.Seam.h"
#include "support/ScopedOverride.h"

namespace TestSupport
{
class CAssertRecorder
{
public:
    CAssertRecorder() { Recorded().clear(); }

    const std::vector<std::string>& Asserts() const { return Recorded(); }

private:
    static std::vector<std::string>& Recorded()
    {
        static std::vector<std::string> s_asserts;
        return s_asserts;
    }
    static void Record(const char* szExpression, const char*, int) { Recorded().push_back(szExpression); }

    CScopedOverride<SharedUtil::AssertHandlerFunction> m_Override{SharedUtil::SetAssertHandlerFunction, Record};
};
} // namespace TestSupport
