// The control-flow guard pointers that code compiled with -mguard=cf calls
// through before each indirect call: on i386 the check (target in ecx), on
// x86_64 the dispatch (target in rax, which it jumps to) and the check.
// Windows puts its own routines in their place when it maps an image whose
// load configuration names them (LoadConfig.cpp); until then, and in every
// image without one (the tests), they let each call through.
// mingw-w64's runtime defines neither. Linked into every image of every
// Windows build (cmake/ProjectOptions.cmake): the GCC builds call through
// them only from the launcher's hand-written entry call (EntryGuard.cpp).
// The pointers lie in .00cfg, which the loader alone writes.

#if defined(__i386__)
asm(R"(
    .text
    .p2align 4
.Lguard_check_none:
    ret

    .section .00cfg,"dr"
    .globl ___guard_check_icall_fptr
    .p2align 2
___guard_check_icall_fptr:
    .long .Lguard_check_none
)");
#elif defined(__x86_64__)
asm(R"(
    .text
    .p2align 4
.Lguard_check_none:
    ret
    .p2align 4
.Lguard_dispatch_none:
    jmp *%rax

    .section .00cfg,"dr"
    .globl __guard_check_icall_fptr
    .globl __guard_dispatch_icall_fptr
    .p2align 3
__guard_check_icall_fptr:
    .quad .Lguard_check_none
__guard_dispatch_icall_fptr:
    .quad .Lguard_dispatch_none
)");
#else
#error "no control-flow guard pointers for this processor"
#endif
