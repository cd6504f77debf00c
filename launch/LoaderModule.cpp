#include "LoaderModule.h"
#include "LoaderModule.Seam.h"

#include "SharedUtil.Encoding.h"
#include "SharedUtil.LastError.Win32.h"
#include "SharedUtil.Module.Win32.h"
#include "SharedUtil.OutOfMemory.h"
#include "SharedUtil.Path.h"
#include "SharedUtil.SeamSetter.h"

#include <new>

using namespace SharedUtil;

namespace Launch
{
namespace
{
DllDirectoryChangeFunction g_pfnDllDirectoryChange = &SetDllDirectoryW;

// A failure of class eFailure with the thread's last error as it is now: the
// error of the call that failed.
SLoadResult LoadFailure(ELoadFailure eFailure)
{
    return SLoadResult::Failure(eFailure, GetLastError());
}

// A path that cannot be loaded from: no call failed, so the error is set here.
SLoadResult InvalidPathFailure()
{
    return SLoadResult::Failure(ELoadFailure::INVALID_PATH, ERROR_BAD_PATHNAME);
}

// Out of memory while converting: one more try into a fresh text; after
// that an empty text, which fails the load as an invalid path.
WString ConvertPath(const SString& strPath)
{
    const auto convert = [&strPath] { return Utf8ToWide(strPath); };
    return FailOnOutOfMemory(convert, [&convert] { return FailOnOutOfMemory(convert, [] { return WString(); }); });
}

// Reads the DLL search directory into strOut, sized as the system asked.
void ReadDllDirectory(std::wstring& strOut, DWORD dwSize)
{
    strOut.resize(dwSize);
    DWORD dwLength = GetDllDirectoryW(dwSize, strOut.data());
    if (dwLength >= dwSize)
        dwLength = 0;
    strOut.resize(dwLength);
}

// Where the system looks for the modules the loader imports: the loader's own
// folder, then the system folder. A plain load would also search the current
// directory and the PATH folders, where anyone may plant a module of the same
// name. Systems without these flags (Vista and 7 before KB2533623) refuse them
// with ERROR_INVALID_PARAMETER; there the older order still puts the loader's
// folder first, and a DLL search directory takes the current folder out of
// it: an empty one for this load, unless the caller has set its own.
HMODULE LoadWithSafeSearch(const wchar_t* wszPath, bool bDllDirectorySet)
{
    HMODULE hModule = LoadModule(wszPath, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (hModule || GetLastError() != ERROR_INVALID_PARAMETER)
        return hModule;
    if (bDllDirectorySet)
        return LoadModule(wszPath, LOAD_WITH_ALTERED_SEARCH_PATH);
    CDllDirectoryScope dllDirectoryScope;
    // Should the system refuse, the load goes on in the older order.
    dllDirectoryScope.m_bRestore = g_pfnDllDirectoryChange(L"") != FALSE;
    return LoadModule(wszPath, LOAD_WITH_ALTERED_SEARCH_PATH);
}
} // namespace

CDllDirectoryScope::CDllDirectoryScope() : m_bRestore(false)
{
    CLastErrorKeeper keepLastError;
    DWORD dwSize = GetDllDirectoryW(0, nullptr);
    if (dwSize == 0)
        return;
    // Out of memory: one more try into a fresh text; after that nothing is
    // saved, and the restore puts back the default search order, which is
    // what the launcher's process has before it changes the directory.
    const auto read = [this, dwSize]
    {
        m_strSavedDirectory = std::wstring();
        ReadDllDirectory(m_strSavedDirectory, dwSize);
        return true;
    };
    FailOnOutOfMemory(read,
                      [&read, this]
                      {
                          return FailOnOutOfMemory(read,
                                                   [this]
                                                   {
                                                       m_strSavedDirectory = std::wstring();
                                                       return false;
                                                   });
                      });
}

CDllDirectoryScope::~CDllDirectoryScope()
{
    if (!m_bRestore)
        return;
    CLastErrorKeeper keepLastError;
    g_pfnDllDirectoryChange(m_strSavedDirectory.empty() ? nullptr : m_strSavedDirectory.c_str());
}

DllDirectoryChangeFunction SetDllDirectoryChangeFunction(DllDirectoryChangeFunction pFunction)
{
    return ReplaceSeamFunction(g_pfnDllDirectoryChange, pFunction, &SetDllDirectoryW);
}

SLoadResult LoadLoaderModule(const SString& strLoaderPath, const SString& strFileName,
                             const SString& strInstallDirectory)
{
    WString wstrLoaderPath = ConvertPath(strLoaderPath);
    if (wstrLoaderPath.empty())
        return InvalidPathFailure();

    if (HMODULE hModule = LoadWithSafeSearch(wstrLoaderPath.c_str(), false))
        return SLoadResult::Success(hModule);

    CDllDirectoryScope dllDirectoryScope;

    WString wstrInstallDirectory = ConvertPath(strInstallDirectory);
    WString wstrFileName = ConvertPath(strFileName);
    if (wstrInstallDirectory.empty() || wstrFileName.empty())
        return InvalidPathFailure();

    if (!g_pfnDllDirectoryChange(wstrInstallDirectory.c_str()))
        return LoadFailure(ELoadFailure::NOT_LOADABLE);
    dllDirectoryScope.m_bRestore = true;

    // Joined as given, without CombinePath's clean-up: the directory just
    // set, one separator and the file name.
    WString wstrSecondPath = wstrInstallDirectory + WIDE_PATH_SEPARATOR + wstrFileName;
    if (HMODULE hModule = LoadWithSafeSearch(wstrSecondPath.c_str(), true))
        return SLoadResult::Success(hModule);
    return LoadFailure(ELoadFailure::NOT_LOADABLE);
}
} // namespace Launch
