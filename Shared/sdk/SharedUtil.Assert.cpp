#include "SharedUtil.Assert.h"
#include "SharedUtil.Assert.Seam.h"
#include "SharedUtil.SeamSetter.h"

#include <cstdio>
#include <cstdlib>

namespace SharedUtil
{
namespace
{
// mingw-w64's stderr calls __acrt_iob_func, which its runtime emulates for
// msvcrt through a pointer in writable data, not an import table entry: a
// call that control-flow guard never checks. msvcrt's own array needs none.
FILE* StandardError()
{
#ifdef _WIN32
    return &_iob[2];
#else
    return stderr;
#endif
}

void DefaultAssertHandler(const char* szExpression, const char* szFile, int iLine)
{
    std::fprintf(StandardError(), "Assertion failed: %s, file %s, line %d\n", szExpression, szFile, iLine);
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
