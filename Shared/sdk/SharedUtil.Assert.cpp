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

AssertHandlerFunction g_pfnAssertHandler = DefaultAssertHandler;
} // namespace

void OnAssertFailed(const char* szExpression, const char* szFile, int iLine)
{
    g_pfnAssertHandler(szExpression, szFile, iLine);
}

AssertHandlerFunction SetAssertHandlerFunction(AssertHandlerFunction pFunction)
{
    return ReplaceSeamFunction(g_pfnAssertHandler, pFunction, DefaultAssertHandler);
}
} // namespace SharedUtil
