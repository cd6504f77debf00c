#include "FailingAllocation.h"

#include <cstdlib>
#include <new>

namespace
{
thread_local std::size_t t_uiFailuresLeft = 0;
thread_local bool t_bFailed = false;
thread_local std::size_t t_uiFailingBytes = 0;
} // namespace

// The library's array and no-throw forms, and its operator delete (free),
// go through or match this one.
void* operator new(std::size_t uiBytes)
{
    if (t_uiFailuresLeft > 0 && uiBytes == t_uiFailingBytes)
    {
        --t_uiFailuresLeft;
        t_bFailed = true;
        throw std::bad_alloc();
    }
    // As the library's own: never a null pointer for zero bytes, and the
    // new-handler has its say before the allocation fails.
    for (;;)
    {
        if (void* pBlock = std::malloc(uiBytes != 0 ? uiBytes : 1))
            return pBlock;
        const std::new_handler pfnHandler = std::get_new_handler();
        if (!pfnHandler)
            throw std::bad_alloc();
        pfnHandler();
    }
}

namespace TestSupport
{
CScopedFailingAllocation::CScopedFailingAllocation(std::size_t uiBytes, std::size_t uiFailures)
{
    t_uiFailingBytes = uiBytes;
    t_bFailed = false;
    t_uiFailuresLeft = uiFailures;
}

CScopedFailingAllocation::~CScopedFailingAllocation()
{
    t_uiFailuresLeft = 0;
}

bool CScopedFailingAllocation::HasFailed() const
{
    return t_bFailed;
}
} // namespace TestSupport
