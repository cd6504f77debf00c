#include "SharedUtil.Clipboard.Win32.h"
#include "SharedUtil.Clipboard.Win32.Seam.h"
#include "SharedUtil.SeamSetter.h"

#include <cstring>
#include <mutex>
#include <utility>

#include "SharedUtil.Encoding.h"
#include "SharedUtil.ScopedHandle.Win32.h"

namespace SharedUtil
{
namespace
{
// A UTF-16 length past this cannot have its terminator counted in 32 bits.
constexpr std::size_t MAX_CONVERTED_UNITS = 0x7FFFFFFE;

// A plain, non-recursive lock that is constant-initialised, so it works
// before any constructor has run. This toolchain's std::mutex initialises
// at run time, in an order other translation units cannot rely on.
class CClipboardLock
{
public:
    constexpr CClipboardLock() = default;
    CClipboardLock(const CClipboardLock&) = delete;
    CClipboardLock& operator=(const CClipboardLock&) = delete;

    void lock() { AcquireSRWLockExclusive(&m_Lock); }
    void unlock() { ReleaseSRWLockExclusive(&m_Lock); }

private:
    SRWLOCK m_Lock = SRWLOCK_INIT;
};

// Serialises whole open-empty-set-close sequences within the process.
constinit CClipboardLock g_ClipboardLock;

HGLOBAL RealAlloc(unsigned int uiFlags, std::size_t uiBytes)
{
    return GlobalAlloc(uiFlags, uiBytes);
}

HANDLE RealSetData(unsigned int uiFormat, HANDLE hMemory)
{
    return SetClipboardData(uiFormat, hMemory);
}

HGLOBAL RealFree(HGLOBAL hMemory)
{
    return GlobalFree(hMemory);
}

constinit GlobalAllocFunction g_pfnGlobalAlloc = RealAlloc;
constinit ClipboardDataFunction g_pfnClipboardData = RealSetData;
constinit GlobalFreeFunction g_pfnGlobalFree = RealFree;

// A block from the seam's allocation goes back through the seam's free.
struct SClipboardBlockTraits : SGlobalMemoryTraits
{
    static void Close(Handle hMemory) { g_pfnGlobalFree(hMemory); }
};
using CScopedClipboardBlock = CScopedHandle<SClipboardBlockTraits>;

// Fills the block and hands it to the open clipboard; a block not taken is
// freed when the scope ends.
void PlaceBlock(CScopedClipboardBlock block, const WString& wstrText, std::size_t uiUnits)
{
    void* pData = GlobalLock(block.Get());
    if (!pData)
        return;
    std::memcpy(pData, wstrText.c_str(), uiUnits * sizeof(WString::value_type));

    // GlobalUnlock returns zero both on failure and when the lock count
    // reaches zero; only the last error tells them apart.
    SetLastError(0);
    const bool bUnlocked = GlobalUnlock(block.Get()) != 0 || GetLastError() == 0;
    if (bUnlocked && g_pfnClipboardData(CF_UNICODETEXT, block.Get()))
        static_cast<void>(block.Take()); // the clipboard owns the block from now on
}

void CopyTextWhileLocked(const SString& strText)
{
    const WString wstrText = Utf8ToWide(strText);
    const std::size_t uiLength = wstrText.length();

    const CScopedOpenClipboard clipboard(OpenClipboard(nullptr) != FALSE);
    if (!clipboard || !EmptyClipboard())
        return;
    if (uiLength > MAX_CONVERTED_UNITS || uiLength + 1 > MAX_CLIPBOARD_TEXT_UNITS)
        return;
    const std::size_t uiUnits = uiLength + 1;
    CScopedClipboardBlock block(g_pfnGlobalAlloc(GMEM_MOVEABLE, uiUnits * sizeof(WString::value_type)));
    if (block)
        PlaceBlock(std::move(block), wstrText, uiUnits);
}
} // namespace

void CopyTextToClipboard(const SString& strText)
{
    if (strText.empty())
        return;

    std::lock_guard<CClipboardLock> lock(g_ClipboardLock);
    try
    {
        CopyTextWhileLocked(strText);
    }
    catch (...)
    {
        // Dropped: this operation reports nothing to its caller.
    }
}

GlobalAllocFunction SetGlobalAllocFunction(GlobalAllocFunction pFunction)
{
    return ReplaceSeamFunction(g_pfnGlobalAlloc, pFunction, RealAlloc);
}

ClipboardDataFunction SetClipboardDataFunction(ClipboardDataFunction pFunction)
{
    return ReplaceSeamFunction(g_pfnClipboardData, pFunction, RealSetData);
}

GlobalFreeFunction SetGlobalFreeFunction(GlobalFreeFunction pFunction)
{
    return ReplaceSeamFunction(g_pfnGlobalFree, pFunction, RealFree);
}
} // namespace SharedUtil
