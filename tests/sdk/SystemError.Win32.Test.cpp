#include <gtest/gtest.h>

#include "SharedUtil.Encoding.h"
#include "SharedUtil.SystemError.Win32.h"
#include "support/Win32TestSupport.Win32.h"

#include <cstdint>
#include <string>

using namespace SharedUtil;
using TestSupport::GetSystemErrorText;

namespace
{
bool HasLineBreak(const SString& strText)
{
    return strText.find_first_of("\r\n") != SString::npos;
}

SString WithoutLineBreaks(const SString& strText)
{
    SString strResult;
    for (char c : strText)
        if (c != '\r' && c != '\n')
            strResult += c;
    return strResult;
}
} // namespace

TEST(SystemError, KnownCodesInEveryCombinationOfOptions)
{
    // Access denied, module not found, not a valid program.
    const uint32_t codes[] = {5, 126, 193};
    for (uint32_t uiCode : codes)
    {
        SCOPED_TRACE(uiCode);
        const SString strRaw = DescribeSystemError(uiCode, false, false);
        EXPECT_EQ(GetSystemErrorText(uiCode), strRaw);
        ASSERT_GT(strRaw.size(), 2u);
        EXPECT_EQ("\r\n", strRaw.substr(strRaw.size() - 2)) << "the system's own line end stays";

        const SString strStripped = DescribeSystemError(uiCode, true, false);
        EXPECT_FALSE(HasLineBreak(strStripped));
        EXPECT_EQ(WithoutLineBreaks(strRaw), strStripped);

        const SString strPrefix = "Error " + std::to_string(uiCode) + ": ";
        EXPECT_EQ(strPrefix + strStripped, DescribeSystemError(uiCode, true, true));
        EXPECT_EQ(strPrefix + strRaw, DescribeSystemError(uiCode, false, true));
    }
}

TEST(SystemError, CodeWithoutTextLeavesTheTextPartEmpty)
{
    ASSERT_EQ("", GetSystemErrorText(12345)) << "the system has a text for the code after all";
    EXPECT_EQ("Error 12345: ", DescribeSystemError(12345, true, true));
    EXPECT_EQ("Error 12345: ", DescribeSystemError(12345, false, true));
    EXPECT_EQ("", DescribeSystemError(12345, true, false));
    EXPECT_EQ("", DescribeSystemError(12345, false, false));
}

TEST(SystemError, CodeWithTheTopBitSetIsPrintedUnsigned)
{
    const uint32_t uiAccessDeniedResult = 0x80070005;
    const SString strPrefix = "Error 2147942405: ";
    const SString strText = DescribeSystemError(uiAccessDeniedResult, true, true);
    EXPECT_EQ(strPrefix, strText.substr(0, strPrefix.size()));
    EXPECT_FALSE(HasLineBreak(strText));
}
