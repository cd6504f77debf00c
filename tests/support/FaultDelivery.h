#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace TestSupport
{
// The test scripts name the emulator when the 32-bit side runs under one.
// qemu-user hands Wine a fault in 32-bit code as an illegal instruction, not
// an access violation, so a case that depends on which of the two arrives can
// only be judged on a processor (or a kernel) of its own.
inline const char* GetI386EmulatorForFaults()
{
    if constexpr (sizeof(void*) == 4)
        return std::getenv("VALDRENNE_I386_EMULATOR");
    return nullptr;
}
} // namespace TestSupport

// Skips the rest of the test where processor faults do not reach the process
// as the processor raised them. Put it in the test that holds only that case.
#define SKIP_WHERE_FAULTS_ARE_EMULATED()                                                                               \
    if (const char* szEmulator = TestSupport::GetI386EmulatorForFaults())                                              \
    GTEST_SKIP() << "the 32-bit side runs under " << szEmulator                                                        \
                 << ", which delivers a processor fault as an illegal instruction"
