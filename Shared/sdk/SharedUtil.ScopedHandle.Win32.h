#pragma once

#include "SharedUtil.LastError.Win32.h"
#include "SharedUtil.Windows.h"

namespace SharedUtil
{
// Owns one Win32 resource and releases it when the scope ends. Releasing
// keeps the thread's last error, so a failure read after the scope still
// names the call that failed. Traits give the handle type, which values are
// invalid, and the release call.
template <typename Traits> class CScopedHandle
{
public:
    using Handle = typename Traits::Handle;

    CScopedHandle() : m_hHandle(Traits::Invalid()) {}
    explicit CScopedHandle(Handle hHandle) : m_hHandle(hHandle) {}
    ~CScopedHandle() { Reset(); }

    CScopedHandle(CScopedHandle&& other) noexcept : m_hHandle(other.Take()) {}
    CScopedHandle& operator=(CScopedHandle&& other) noexcept
    {
        Reset(other.Take());
        return *this;
    }
    CScopedHandle(const CScopedHandle&) = delete;
    CScopedHandle& operator=(const CScopedHandle&) = delete;

    bool IsValid() const { return Traits::IsValid(m_hHandle); }
    explicit operator bool() const { return IsValid(); }
    Handle Get() const { return m_hHandle; }

    // Hands ownership on: the caller (or the call it passes the handle to)
    // releases it from now on.
    [[nodiscard]] Handle Take()
    {
        Handle hHandle = m_hHandle;
        m_hHandle = Traits::Invalid();
        return hHandle;
    }

    // Releases what is held, then holds hHandle. Given the handle it already
    // holds, it keeps holding it: closing it would leave a closed handle held.
    void Reset(Handle hHandle = Traits::Invalid())
    {
        if (hHandle == m_hHandle)
            return;
        if (Traits::IsValid(m_hHandle))
        {
            CLastErrorKeeper keepLastError;
            Traits::Close(m_hHandle);
        }
        m_hHandle = hHandle;
    }

private:
    Handle m_hHandle;
};

// Kernel objects: CreateFileW and CreateToolhelp32Snapshot fail with
// INVALID_HANDLE_VALUE, most other calls with null; neither is closed.
struct SKernelHandleTraits
{
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle hHandle) { return hHandle != nullptr && hHandle != INVALID_HANDLE_VALUE; }
    static void Close(Handle hHandle) { CloseHandle(hHandle); }
};

// Handles that are null on failure and go back through one call.
template <typename HandleType, auto pfnClose> struct SNullHandleTraits
{
    using Handle = HandleType;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle hHandle) { return hHandle != nullptr; }
    static void Close(Handle hHandle) { pfnClose(hHandle); }
};

using SRegistryKeyTraits = SNullHandleTraits<HKEY, RegCloseKey>;
using SModuleTraits = SNullHandleTraits<HMODULE, FreeLibrary>;
// Memory the system allocated for the caller (FormatMessageW,
// CommandLineToArgvW).
using SLocalMemoryTraits = SNullHandleTraits<HLOCAL, LocalFree>;
// Movable global memory, as the clipboard takes it.
using SGlobalMemoryTraits = SNullHandleTraits<HGLOBAL, GlobalFree>;

// The clipboard, open to this thread: OpenClipboard's success is the handle.
struct SOpenClipboardTraits
{
    using Handle = bool;
    static Handle Invalid() { return false; }
    static bool IsValid(Handle bOpen) { return bOpen; }
    static void Close(Handle) { CloseClipboard(); }
};

using CScopedKernelHandle = CScopedHandle<SKernelHandleTraits>;
using CScopedRegistryKey = CScopedHandle<SRegistryKeyTraits>;
using CScopedModule = CScopedHandle<SModuleTraits>;
using CScopedLocalMemory = CScopedHandle<SLocalMemoryTraits>;
using CScopedGlobalMemory = CScopedHandle<SGlobalMemoryTraits>;
using CScopedOpenClipboard = CScopedHandle<SOpenClipboardTraits>;
} // namespace SharedUtil
