#include <gtest/gtest.h>

#include "SString.h"
#include "SharedUtil.FaultTrap.h"
#include "SharedUtil.Windows.h"
#include "support/FaultDelivery.h"

#include <cstdint>

namespace
{
constexpr DWORD MARKER_ERROR = 0xdeadbeef;
// AddVectoredExceptionHandler: behind every handler installed before.
constexpr ULONG CALL_LAST = 0;
constexpr std::uintptr_t BAD_ADDRESS = 0x10;
const char* const BAD_TEXT = reinterpret_cast<const char*>(BAD_ADDRESS);

void RaiseOtherException(void*)
{
    RaiseException(EXCEPTION_INT_DIVIDE_BY_ZERO, 0, 0, nullptr);
}

LONG CALLBACK ContinueAfterOtherException(EXCEPTION_POINTERS* pInfo)
{
    return pInfo->ExceptionRecord->ExceptionCode == EXCEPTION_INT_DIVIDE_BY_ZERO ? EXCEPTION_CONTINUE_EXECUTION
                                                                                 : EXCEPTION_CONTINUE_SEARCH;
}

// Formatting sits between failing calls and GetLastError in log messages.
void ExpectFormattingKeepsTheLastError(const char* szValue)
{
    SetLastError(MARKER_ERROR);
    SString strText("Launch: '%s'", szValue);
    EXPECT_EQ(MARKER_ERROR, GetLastError());
}
} // namespace

TEST(FormatFaultWin32, FormattingKeepsTheLastError)
{
    ExpectFormattingKeepsTheLastError("qel");
}

TEST(FormatFaultWin32, TrappedFaultKeepsTheLastError)
{
    SKIP_WHERE_FAULTS_ARE_EMULATED();
    ExpectFormattingKeepsTheLastError(BAD_TEXT);
}

TEST(FormatFaultWin32, OtherExceptionsPassThroughTheTrap)
{
    // Reached only when the trap's handler, called before it, lets the exception by.
    PVOID pHandler = AddVectoredExceptionHandler(CALL_LAST, ContinueAfterOtherException);
    ASSERT_NE(nullptr, pHandler);
    EXPECT_TRUE(SharedUtil::RunTrappingFaults(RaiseOtherException, nullptr));
    RemoveVectoredExceptionHandler(pHandler);
}
