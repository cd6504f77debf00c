#include <gtest/gtest.h>

#include "support/ScopedOverride.h"

namespace
{
using SeamFunction = int (*)(int);
SeamFunction g_pfnSeam = nullptr;

SeamFunction SetSeamFunction(SeamFunction pFunction)
{
    SeamFunction pPrevious = g_pfnSeam;
    g_pfnSeam = pFunction;
    return pPrevious;
}
int Double(int iValue)
{
    return 2 * iValue;
}
} // namespace

TEST(ScopedOverride, PreviousValueComesBackAtEveryExit)
{
    SetSeamFunction(Double);
    try
    {
        TestSupport::CScopedOverride override(SetSeamFunction, [](int) { return 0; });
        EXPECT_EQ(0, g_pfnSeam(4));
        throw 1;
    }
    catch (int)
    {
    }
    EXPECT_EQ(g_pfnSeam, &Double);
    SetSeamFunction(nullptr);
}
