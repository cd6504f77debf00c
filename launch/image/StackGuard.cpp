// The stack protector's guard and failure routines of the shipped image, in
// place of GCC's libssp, whose guard is seeded by a constructor that loads a
// cryptographic provider at every start.
// - The guard is a variable of the image holding the platform's default
//   cookie. The load configuration names it as SecurityCookie
//   (LoadConfig.cpp); the system loader writes a random value into it when it
//   maps the image, before any of the image's code runs, as it does for every
//   image built by Microsoft's tools.
// - Where it still holds the default (a loader that did not set it, or an
//   image without the load configuration), the entry point seeds it from
//   what the process has at hand, as Microsoft's runtime does, before any
//   protected function runs, and loads no module to do so.
// - A failed check, of the stack or of a checked C library call, ends the
//   process by fast fail (STATUS_STACK_BUFFER_OVERRUN): no exception handler
//   runs and nothing is written, since a smashed stack cannot be trusted to
//   run them.
// Linked into the images of the clang builds that start through
// LaunchImageStartup (launch/CMakeLists.txt).
#include <cstdint>

#include "SharedUtil.Windows.h"

namespace
{
#if defined(__x86_64__)
constexpr std::uintptr_t DEFAULT_GUARD = 0x00002B992DDFA232;
// The system keeps the top 16 bits of a 64-bit cookie clear.
constexpr std::uintptr_t GUARD_MASK = 0x0000FFFFFFFFFFFF;
#else
constexpr std::uintptr_t DEFAULT_GUARD = 0xBB40E64E;
constexpr std::uintptr_t GUARD_MASK = 0xFFFFFFFF;
#endif

// __fastfail: int 0x29 with the code in ecx. mingw-w64's <intrin.h> does not
// compile with clang 19's, so it is written out.
[[noreturn]] __attribute__((always_inline)) inline void FastFail(unsigned int uiCode)
{
    asm volatile("int $0x29" : : "c"(uiCode) : "memory");
    __builtin_unreachable();
}

// MurmurHash3's 64-bit finaliser: every input bit moves every output bit.
// Two clocks that advance together (under Wine the file time and the
// performance counter both count 100 ns steps) would largely cancel in a
// plain exclusive or.
constexpr std::uint64_t MIX_MULTIPLIER_1 = 0xFF51AFD7ED558CCD;
constexpr std::uint64_t MIX_MULTIPLIER_2 = 0xC4CEB9FE1A85EC53;
constexpr unsigned int MIX_SHIFT = 33;

__attribute__((no_stack_protector)) std::uint64_t Mix(std::uint64_t uiValue)
{
    uiValue ^= uiValue >> MIX_SHIFT;
    uiValue *= MIX_MULTIPLIER_1;
    uiValue ^= uiValue >> MIX_SHIFT;
    uiValue *= MIX_MULTIPLIER_2;
    return uiValue ^ (uiValue >> MIX_SHIFT);
}

// What Microsoft's runtime takes when the loader has left the default: the
// time, the ids of process and thread, the performance counter and an
// address on this stack, each mixed in.
__attribute__((no_stack_protector)) std::uintptr_t MakeGuard()
{
    FILETIME fileTime = {};
    GetSystemTimeAsFileTime(&fileTime);
    LARGE_INTEGER liCounter = {};
    QueryPerformanceCounter(&liCounter);
    std::uint64_t uiSeed = Mix((static_cast<std::uint64_t>(fileTime.dwHighDateTime) << 32) | fileTime.dwLowDateTime);
    uiSeed = Mix(uiSeed ^ static_cast<std::uint64_t>(liCounter.QuadPart));
    uiSeed = Mix(uiSeed ^ ((static_cast<std::uint64_t>(GetCurrentProcessId()) << 32) | GetCurrentThreadId()));
    uiSeed = Mix(uiSeed ^ reinterpret_cast<std::uintptr_t>(&fileTime));
    const std::uintptr_t uiGuard = static_cast<std::uintptr_t>(uiSeed) & GUARD_MASK;
    return uiGuard == DEFAULT_GUARD ? uiGuard + 1 : uiGuard;
}
} // namespace

extern "C"
{
    // Writable, and holding the default in the file: the loader looks for
    // that value before it writes its own.
    std::uintptr_t __stack_chk_guard = DEFAULT_GUARD;

    [[noreturn]] void __stack_chk_fail()
    {
        FastFail(FAST_FAIL_STACK_COOKIE_CHECK_FAILURE);
    }

    // A checked C library call (_FORTIFY_SOURCE) found its destination too
    // small. Declared no-return by mingw-w64's <string.h>.
    void __chk_fail()
    {
        FastFail(FAST_FAIL_RANGE_CHECK_FAILURE);
    }

    // The runtime's entry point for GUI programs.
    int WinMainCRTStartup();

    // The image's entry point. Nothing above it holds a protected frame, so
    // the guard may change here.
    __attribute__((no_stack_protector)) int LaunchImageStartup()
    {
        if (__stack_chk_guard == DEFAULT_GUARD)
            __stack_chk_guard = MakeGuard();
        return WinMainCRTStartup();
    }
}
