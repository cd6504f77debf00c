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

    // Releases what is held, then holds hHandle.
    void Reset(Handle hHandle = Traits::Invalid())
    {
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

struct SRegistryKeyTraits
{
    using Handle = HKEY;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle hKey) { return hKey != nullptr; }
    static void Close(Handle hKey) { RegCloseKey(hKey); }
};

struct SModuleTraits
{
    using Handle = HMODULE;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle hModule) { return hModule != nullptr; }
    static void Close(Handle hModule) { FreeLibrary(hModule); }
};

// Memory the system allocated for the caller (FormatMessageW,
// CommandLineToArgvW).
struct SLocalMemoryTraits
{
    using Handle = HLOCAL;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle hMemory) { return hMemory != nullptr; }
    static void Close(Handle hMemory) { LocalFree(hMemory); }
};

// Movable global memory, as the clipboard takes it.
struct SGlobalMemoryTraits
{
    using Handle = HGLOBAL;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle hMemory) { return hMemory != nullptr; }
    static void Close(Handle hMemory) { GlobalFree(hMemory); }
};

using CScopedKernelHandle = CScopedHandle<SKernelHandleTraits>;
using CScopedRegistryKey = CScopedHandle<SRegistryKeyTraits>;
using CScopedModule = CScopedHandle<SModuleTraits>;
using CScopedLocalMemory = CScopedHandle<SLocalMemoryTraits>;
using CScopedGlobalMemory = CScopedHandle<SGlobalMemoryTraits>;
} // namespace SharedUtil
