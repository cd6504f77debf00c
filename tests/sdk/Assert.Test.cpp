#include <gtest/gtest.h>

#include "SharedUtil.Assert.h"
#include "support/AssertRecorder.h"

#include <csignal>

TEST(Assert, ReportsTheExpressionTextToTheInstalledHandler)
{
    TestSupport::CAssertRecorder recorder;
    int iIndex = 0;
    SU_ASSERT(iIndex);
    SU_ASSERT(iIndex == 0);
    EXPECT_EQ(std::vector<std::string>{"iIndex"}, recorder.Asserts());
}

#ifndef _WIN32
// On Windows abort() ends the process with an exit code, not a signal.
TEST(AssertDeathTest, WithoutAReplacementPrintsTheAssertionAndAborts)
{
    EXPECT_EXIT(SharedUtil::OnAssertFailed("szDefault", "Shared/sdk/SharedUtil.Misc.cpp", 417),
                ::testing::KilledBySignal(SIGABRT),
                "Assertion failed: szDefault, file Shared/sdk/SharedUtil\\.Misc\\.cpp, line 417\n");
}
#endif
