#pragma once

#include "SharedUtil.Windows.h"

#if defined(__i386__)
namespace SharedUtil
{
// The head of the thread's chain of SEH frames on i386, NT_TIB::ExceptionList
// at fs:0. Read and written directly: GCC 12 wrongly flags NtCurrentTeb()'s
// segment read as out of bounds.
inline EXCEPTION_REGISTRATION_RECORD* GetExceptionList()
{
    EXCEPTION_REGISTRATION_RECORD* pList;
    __asm__ volatile("movl %%fs:0, %0" : "=r"(pList));
    return pList;
}

inline void SetExceptionList(EXCEPTION_REGISTRATION_RECORD* pList)
{
    __asm__ volatile("movl %0, %%fs:0" : : "r"(pList) : "memory");
}
} // namespace SharedUtil
#endif
