#pragma once

#include <new>

namespace SharedUtil
{
// Runs call; where memory runs out on the way, runs fail instead and returns
// what it gives: the one way the layer turns a failed allocation into the
// failure its caller already handles (false, an empty text, errno).
template <typename Call, typename Fail> auto FailOnOutOfMemory(Call call, Fail fail) -> decltype(call())
{
    try
    {
        return call();
    }
    catch (const std::bad_alloc&)
    {
        return fail();
    }
}
} // namespace SharedUtil
