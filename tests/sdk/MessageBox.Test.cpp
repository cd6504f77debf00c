#include <gtest/gtest.h>

#include "SharedUtil.MessageBox.h"

#include <vector>

using namespace SharedUtil;

TEST(MessageBox, TypeGetsIconAndSystemModal)
{
    struct SCase
    {
        unsigned int uiType;
        unsigned int uiEffective;
    };
    const std::vector<SCase> cases = {
        {0x40004, 0x41034},                     // question without icon bits
        {0x40014, 0x41014},                     // question with the stop icon
        {0x40000, 0x41030},                     // plain message
        {0x40020, 0x41020}, {0x40040, 0x41040}, // browser notice
        {0x0, 0x30},                            // not topmost: not system-modal
        {0x41000, 0x41030},
    };
    for (const SCase& testCase : cases)
    {
        SCOPED_TRACE(testCase.uiType);
        EXPECT_EQ(testCase.uiEffective, GetEffectiveMessageBoxType(testCase.uiType));
    }
}
