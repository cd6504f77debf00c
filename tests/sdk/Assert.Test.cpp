#include <gtest/gtest.h>

#include "SharedUtil.Assert.h"
#include "support/AssertRecorder.h"

TEST(Assert, ReportsTheExpressionTextToTheInstalledHandler)
{
    TestSupport::CAssertRecorder recorder;
    int iIndex = 0;
    SU_ASSERT(iIndex);
    SU_ASSERT(iIndex == 0);
    EXPECT_EQ(std::vector<std::string>{"iIndex"}, recorder.Asserts());
}
