#include "SharedUtil.Assert.h"
#include "SharedUtil.Assert.Seam.h"
#include "SharedUtil.SeamSetter.h"

#include <cstdio>
#include <cstdlib>

namespace SharedUtil
{
namespace
{
void DefaultAssertHandler(const char* szExpression, const char* szFile, int iLine)
{
    std::fprintf(stderr, "Assertion failed: %s, file %s, line %d\n", szExpression, szFile, iLine);
    std::abort();
}

AssertHandler g_pAssertHandler = DefaultAssertHandler;
} // namespace

void OnAssertFailed(const char* szExpression, const char* szFile, int iLine)
{
    g_pAssertHandler(szExpression, szFile, iLine);
}

AssertHandler SetAssertHandler(AssertHandler pHandler)
{
    return ReplaceSeamFunction(g_pAssertHandler, pHandler, DefaultAssertHandler);
}
} // namespace SharedUtil
