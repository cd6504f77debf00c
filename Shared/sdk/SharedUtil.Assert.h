#pragma once

// Guards against programming errors in arguments. The reported text is the
// asserted expression itself, e.g. "iIndex". The handler behind it prints and
// aborts; tests replace it through SharedUtil.Assert.Seam.h.
namespace SharedUtil
{
void OnAssertFailed(const char* szExpression, const char* szFile, int iLine);
} // namespace SharedUtil

#define SU_ASSERT(expression)                                                                                          \
    ((expression) ? static_cast<void>(0) : ::SharedUtil::OnAssertFailed(#expression, __FILE__, __LINE__))
