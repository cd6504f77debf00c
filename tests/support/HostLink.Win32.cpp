#include "support/HostLink.Win32.h"

#include "SharedUtil.Encoding.h"
#include "SharedUtil.ScopedHandle.Win32.h"
#include "support/Win32TestSupport.Win32.h"

namespace TestSupport
{
namespace
{
// The host's programs, through Wine's drive Z:, the root of the host's file system.
constexpr const wchar_t* HOST_LN = L"Z:\\bin\\ln";
constexpr const wchar_t* HOST_RM = L"Z:\\bin\\rm";
constexpr DWORD HOST_LINK_TIMEOUT_MS = 10000;

// Wine's own allocations on the process heap, such as a Unix file name.
struct SProcessHeapTraits
{
    using Handle = char*;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle pMemory) { return pMemory != nullptr; }
    static void Close(Handle pMemory) { HeapFree(GetProcessHeap(), 0, pMemory); }
};

std::wstring QuotedUnixPath(const std::string& strUnixPath)
{
    return L"\"" + SharedUtil::Utf8ToWide(strUnixPath) + L"\"";
}

// Wine starts a host program without giving back a process to wait for, so
// the name is watched until it appears or goes.
bool RunHostProgramUntil(const wchar_t* wszProgram, const std::wstring& wstrArguments, const std::wstring& wstrName,
                         bool bNameThere)
{
    CChildProcess program;
    if (!program.Start(wszProgram, wstrArguments))
        return false;
    const ULONGLONG ullDeadline = GetTickCount64() + HOST_LINK_TIMEOUT_MS;
    while ((GetFileAttributesW(wstrName.c_str()) != INVALID_FILE_ATTRIBUTES) != bNameThere)
    {
        if (GetTickCount64() > ullDeadline)
            return false;
        Sleep(POLL_INTERVAL_MS);
    }
    return true;
}
} // namespace

std::optional<std::string> GetUnixPath(const std::wstring& wstrPath)
{
    using UnixFileNameFunction = char* (*)(LPCWSTR);
    const auto pfnGetUnixFileName = reinterpret_cast<UnixFileNameFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!pfnGetUnixFileName)
        return std::nullopt;
    const SharedUtil::CScopedHandle<SProcessHeapTraits> unixPath(pfnGetUnixFileName(wstrPath.c_str()));
    if (!unixPath)
        return std::nullopt;
    return std::string(unixPath.Get());
}

bool MakeHostSymbolicLink(const std::wstring& wstrLink, const std::wstring& wstrTarget)
{
    const std::optional<std::string> link = GetUnixPath(wstrLink);
    const std::optional<std::string> target = GetUnixPath(wstrTarget);
    if (!link || !target)
        return false;
    return RunHostProgramUntil(HOST_LN, L"-s " + QuotedUnixPath(*target) + L" " + QuotedUnixPath(*link), wstrLink,
                               true);
}

bool RemoveHostLink(const std::wstring& wstrLink)
{
    const std::optional<std::string> link = GetUnixPath(wstrLink);
    return link && RunHostProgramUntil(HOST_RM, L"-f " + QuotedUnixPath(*link), wstrLink, false);
}

// Wine's CreateSymbolicLinkW reports success and makes nothing, so the link
// is looked for afterwards.
bool MakeSymbolicLink(const std::wstring& wstrLink, const std::wstring& wstrTarget, bool bFolder, bool& bHostLink)
{
    constexpr DWORD ALLOW_UNPRIVILEGED = 0x2; // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
    bHostLink = false;
    if (CreateSymbolicLinkW(wstrLink.c_str(), wstrTarget.c_str(),
                            (bFolder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) | ALLOW_UNPRIVILEGED) &&
        GetFileAttributesW(wstrLink.c_str()) != INVALID_FILE_ATTRIBUTES)
        return true;
    bHostLink = MakeHostSymbolicLink(wstrLink, wstrTarget);
    return bHostLink;
}

bool RemoveSymbolicLink(const std::wstring& wstrLink, bool bFolder, bool bHostLink)
{
    if (bHostLink)
        return RemoveHostLink(wstrLink);
    return bFolder ? RemoveDirectoryW(wstrLink.c_str()) : DeleteFileW(wstrLink.c_str());
}
} // namespace TestSupport
