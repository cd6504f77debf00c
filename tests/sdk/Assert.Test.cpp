#include <gtest/gtest.h>

#include "SharedUtil.Assert.h"

#include <string>

namespace
{
std::string g_strLastAssert;
void RecordAssert(const char* szExpression, const char*, int)
{
    g_strLastAssert = szExpression;
}
} // namespace

TEST(Assert, ReportsTheExpressionTextToTheInstalledHandler)
{
    SharedUtil::AssertHandler pPrevious = SharedUtil::SetAssertHandler(RecordAssert);
    int iIndex = 0;
    SU_ASSERT(iIndex);
    SharedUtil::SetAssertHandler(pPrevious);
    EXPECT_EQ("iIndex", g_strLastAssert);
}
