#pragma once

namespace SharedUtil
{
// The contract of every seam's setter, in one place: installs pReplacement in
// the seam's slot, the real call pReal when it is null, and returns what the
// slot held before (so that a caller can put it back).
template <typename Function> Function ReplaceSeamFunction(Function& pSlot, Function pReplacement, Function pReal)
{
    const Function pPrevious = pSlot;
    pSlot = pReplacement ? pReplacement : pReal;
    return pPrevious;
}
} // namespace SharedUtil
