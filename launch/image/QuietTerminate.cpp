// Linked into the shipped launcher only. libstdc++'s default terminate
// handler prints the uncaught exception's demangled type to stderr, and the
// demangler it needs is the largest single part of the C++ runtime in the
// image. A GUI process has no stderr to read, so the handler only aborts, as
// the default one does after printing. An object linked directly takes the
// place of the library's definition.
#include <cstdlib>

namespace __gnu_cxx
{
[[noreturn]] void __verbose_terminate_handler()
{
    std::abort();
}
} // namespace __gnu_cxx
