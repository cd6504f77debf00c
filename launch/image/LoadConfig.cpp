// The launcher image's load configuration, which Windows reads as it maps
// the image; mingw-w64's runtime brings none. It holds
// - the control-flow guard fields: the check (and on x86_64 dispatch)
//   pointers of GuardCheck.cpp, and the function, import and longjmp tables,
//   count and flags that lld defines with --guard-cf;
// - DependentLoadFlags: the DLLs the image imports are looked up in System32
//   only;
// - SecurityCookie: the stack protector's guard, which the system seeds as
//   it maps the image;
// - on i386, the SafeSEH table: every frame handler the image registers.
//   Windows calls no handler of the image that is not listed. The only one
//   is the entry guard's (EntryGuard.cpp); GCC's runtime, linked in too,
//   registers none (it unwinds with DWARF tables). The table is sorted by
//   address.
// The fields follow the PE format's IMAGE_LOAD_CONFIG_DIRECTORY up to the
// longjmp table; Size tells Windows how far it reaches. mingw-w64's
// <winnt.h> declares the structure only up to SEHandlerCount.
// Linked into the launcher of the clang builds (launch/CMakeLists.txt).

#if defined(__i386__)
asm(R"(
    .section .rdata,"dr"
    .p2align 2
.Lsafe_seh_table:
    .rva "_LaunchEntryEscapeHandler@16"
.Lsafe_seh_table_end:

    .globl __load_config_used
    .p2align 2
__load_config_used:
    .long 120                   # Size
    .long 0                     # TimeDateStamp
    .short 0, 0                 # MajorVersion, MinorVersion
    .long 0, 0, 0               # GlobalFlagsClear, GlobalFlagsSet, CriticalSectionDefaultTimeout
    .long 0, 0                  # DeCommitFreeBlockThreshold, DeCommitTotalFreeThreshold
    .long 0, 0, 0               # LockPrefixTable, MaximumAllocationSize, VirtualMemoryThreshold
    .long 0, 0                  # ProcessHeapFlags, ProcessAffinityMask
    .short 0                    # CSDVersion
    .short 0x0800               # DependentLoadFlags: LOAD_LIBRARY_SEARCH_SYSTEM32
    .long 0                     # EditList
    .long ___stack_chk_guard    # SecurityCookie: the stack protector's guard (StackGuard.cpp)
    .long .Lsafe_seh_table      # SEHandlerTable
    .long (.Lsafe_seh_table_end - .Lsafe_seh_table) / 4 # SEHandlerCount
    .long ___guard_check_icall_fptr # GuardCFCheckFunctionPointer
    .long 0                     # GuardCFDispatchFunctionPointer: x86_64 only
    .long ___guard_fids_table   # GuardCFFunctionTable
    .long ___guard_fids_count   # GuardCFFunctionCount
    .long ___guard_flags        # GuardFlags
    .short 0, 0                 # CodeIntegrity: Flags, Catalog
    .long 0, 0                  # CodeIntegrity: CatalogOffset, Reserved
    .long ___guard_iat_table    # GuardAddressTakenIatEntryTable
    .long ___guard_iat_count    # GuardAddressTakenIatEntryCount
    .long ___guard_longjmp_table # GuardLongJumpTargetTable
    .long ___guard_longjmp_count # GuardLongJumpTargetCount
)");
#elif defined(__x86_64__)
asm(R"(
    .section .rdata,"dr"
    .globl _load_config_used
    .p2align 3
_load_config_used:
    .long 192                   # Size
    .long 0                     # TimeDateStamp
    .short 0, 0                 # MajorVersion, MinorVersion
    .long 0, 0, 0               # GlobalFlagsClear, GlobalFlagsSet, CriticalSectionDefaultTimeout
    .quad 0, 0                  # DeCommitFreeBlockThreshold, DeCommitTotalFreeThreshold
    .quad 0, 0, 0               # LockPrefixTable, MaximumAllocationSize, VirtualMemoryThreshold
    .quad 0                     # ProcessAffinityMask
    .long 0                     # ProcessHeapFlags
    .short 0                    # CSDVersion
    .short 0x0800               # DependentLoadFlags: LOAD_LIBRARY_SEARCH_SYSTEM32
    .quad 0                     # EditList
    .quad __stack_chk_guard     # SecurityCookie: the stack protector's guard (StackGuard.cpp)
    .quad 0, 0                  # SEHandlerTable, SEHandlerCount: i386 only
    .quad __guard_check_icall_fptr # GuardCFCheckFunctionPointer
    .quad __guard_dispatch_icall_fptr # GuardCFDispatchFunctionPointer
    .quad __guard_fids_table    # GuardCFFunctionTable
    .quad __guard_fids_count    # GuardCFFunctionCount
    .long __guard_flags         # GuardFlags
    .short 0, 0                 # CodeIntegrity: Flags, Catalog
    .long 0, 0                  # CodeIntegrity: CatalogOffset, Reserved
    .quad __guard_iat_table     # GuardAddressTakenIatEntryTable
    .quad __guard_iat_count     # GuardAddressTakenIatEntryCount
    .quad __guard_longjmp_table # GuardLongJumpTargetTable
    .quad __guard_longjmp_count # GuardLongJumpTargetCount
)");
#else
#error "no load configuration for this processor"
#endif
