#pragma once

// Guards against programming errors in arguments. The reported text is the
// asserted expression itself, e.g. "iIndex". The handler is replaceable so
// that tests can observe an assertion; the default one prints and aborts.
namespace SharedUtil
{
using AssertHandler = void (*)(const char* szExpression, const char* szFile, int iLine);

void OnAssertFailed(const char* szExpression, const char* szFile, int iLine);

// Returns the handler that was installed before.
AssertHandler SetAssertHandler(AssertHandler pHandler);
} // namespace SharedUtil

#define SU_ASSERT(expression)                                                                                          \
    ((expression) ? static_cast<void>(0) : ::SharedUtil::OnAssertFailed(#expression, __FILE__, __LINE__))
