#include "SharedUtil.Clipboard.h"

#include <cstring>
#include <mutex>

#include "SharedUtil.Encoding.h"
#include "SharedUtil.Windows.h"

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

void* RealAlloc(unsigned int uiFlags, std::size_t uiBytes)
{
    return GlobalAlloc(uiFlags, uiBytes);
}

void* RealSetData(unsigned int uiFormat, void* hMemory)
{
    return SetClipboardData(uiFormat, hMemory);
}

void* RealFree(void* hMemory)
{
    return GlobalFree(hMemory);
}

constinit SClipboardMemoryCalls g_MemoryCalls = {RealAlloc, RealSetData, RealFree};

// Closes the clipboard on every way out of the scope that opened it.
class CClipboardOpenScope
{
public:
    CClipboardOpenScope() : m_bOpen(OpenClipboard(nullptr) != 0) {}
    ~CClipboardOpenScope()
    {
        if (m_bOpen)
            CloseClipboard();
    }
    CClipboardOpenScope(const CClipboardOpenScope&) = delete;
    CClipboardOpenScope& operator=(const CClipboardOpenScope&) = delete;

    bool IsOpen() const { return m_bOpen; }

private:
    bool m_bOpen;
};

// Hands a filled block to the open clipboard; frees it when it was not taken.
void PlaceBlock(HGLOBAL hMemory, const WString& wstrText, std::size_t uiUnits)
{
    void* pData = GlobalLock(hMemory);
    if (!pData)
    {
        g_MemoryCalls.pfnFree(hMemory);
        return;
    }
    std::memcpy(pData, wstrText.c_str(), uiUnits * sizeof(WString::value_type));

    // GlobalUnlock returns zero both on failure and when the lock count
    // reaches zero; only the last error tells them apart.
    SetLastError(0);
    const bool bUnlocked = GlobalUnlock(hMemory) != 0 || GetLastError() == 0;
    if (bUnlocked && g_MemoryCalls.pfnSetData(CF_UNICODETEXT, hMemory))
        return;
    g_MemoryCalls.pfnFree(hMemory);
}

void CopyTextWhileLocked(const SString& strText)
{
    const WString wstrText = Utf8ToWide(strText);
    const std::size_t uiLength = wstrText.length();

    CClipboardOpenScope clipboard;
    if (!clipboard.IsOpen() || !EmptyClipboard())
        return;
    if (uiLength > MAX_CONVERTED_UNITS || uiLength + 1 > MAX_CLIPBOARD_TEXT_UNITS)
        return;
    const std::size_t uiUnits = uiLength + 1;
    if (HGLOBAL hMemory = g_MemoryCalls.pfnAlloc(GMEM_MOVEABLE, uiUnits * sizeof(WString::value_type)))
        PlaceBlock(hMemory, wstrText, uiUnits);
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

SClipboardMemoryCalls SetClipboardMemoryCalls(const SClipboardMemoryCalls& calls)
{
    const SClipboardMemoryCalls previous = g_MemoryCalls;
    g_MemoryCalls.pfnAlloc = calls.pfnAlloc ? calls.pfnAlloc : RealAlloc;
    g_MemoryCalls.pfnSetData = calls.pfnSetData ? calls.pfnSetData : RealSetData;
    g_MemoryCalls.pfnFree = calls.pfnFree ? calls.pfnFree : RealFree;
    return previous;
}
} // namespace SharedUtil
