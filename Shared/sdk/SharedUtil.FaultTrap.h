#pragma once

// Runs code that may touch memory it must not, such as the C library's
// formatting of a bad pointer, and turns a processor fault inside it into a
// return value instead of the end of the process.
namespace SharedUtil
{
using TrappedFunction = void (*)(void* pContext);

// Calls pfnGuarded(pContext) on this thread. Returns false when an access
// violation (SIGSEGV or SIGBUS natively) ended it early. The faulting frames
// are abandoned, not unwound: guarded code must not own anything that needs
// releasing, and what it stores before a fault reaches the caller only when
// stored through volatile (the compiler may otherwise drop or delay it).
bool RunTrappingFaults(TrappedFunction pfnGuarded, void* pContext);
} // namespace SharedUtil
