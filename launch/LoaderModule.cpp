#include "LoaderModule.h"

#include "SharedUtil.Encoding.h"
#include "SharedUtil.LastError.Win32.h"
#include "SharedUtil.Module.Win32.h"

using namespace SharedUtil;

namespace Launch
{
namespace
{
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
// with ERROR_INVALID_PARAMETER; there the loader's folder still comes first.
HMODULE LoadWithSafeSearch(const wchar_t* wszPath)
{
    HMODULE hModule = LoadModule(wszPath, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!hModule && GetLastError() == ERROR_INVALID_PARAMETER)
        hModule = LoadModule(wszPath, LOAD_WITH_ALTERED_SEARCH_PATH);
    return hModule;
}
} // namespace

CDllDirectoryScope::CDllDirectoryScope() : m_bRestore(false)
{
    CLastErrorKeeper keepLastError;
    DWORD dwSize = GetDllDirectoryW(0, nullptr);
    if (dwSize == 0)
        return;
    try
    {
        ReadDllDirectory(m_strSavedDirectory, dwSize);
    }
    catch (const std::bad_alloc&)
    {
        m_strSavedDirectory = std::wstring();
        ReadDllDirectory(m_strSavedDirectory, dwSize);
    }
}

CDllDirectoryScope::~CDllDirectoryScope()
{
    if (!m_bRestore)
        return;
    SetDllDirectoryW(m_strSavedDirectory.empty() ? nullptr : m_strSavedDirectory.c_str());
}

SLoadResult LoadLoaderModule(const SString& strLoaderPath, const SString& strFileName,
                             const SString& strInstallDirectory)
{
    WString wstrLoaderPath = Utf8ToWide(strLoaderPath);
    if (wstrLoaderPath.empty())
        return SLoadResult::Failure(ELoadFailure::INVALID_PATH);

    if (HMODULE hModule = LoadWithSafeSearch(wstrLoaderPath.c_str()))
        return SLoadResult::Success(hModule);

    CDllDirectoryScope dllDirectoryScope;

    WString wstrInstallDirectory = Utf8ToWide(strInstallDirectory);
    WString wstrFileName;
    try
    {
        wstrFileName = Utf8ToWide(strFileName);
    }
    catch (const std::bad_alloc&)
    {
        // Out of memory while converting: one more try into a fresh text.
        wstrFileName = Utf8ToWide(strFileName);
    }
    if (wstrInstallDirectory.empty() || wstrFileName.empty())
        return SLoadResult::Failure(ELoadFailure::INVALID_PATH);

    if (!SetDllDirectoryW(wstrInstallDirectory.c_str()))
        return SLoadResult::Failure(ELoadFailure::NOT_LOADABLE);
    dllDirectoryScope.m_bRestore = true;

    WString wstrSecondPath = wstrInstallDirectory + L'\\' + wstrFileName;
    if (HMODULE hModule = LoadWithSafeSearch(wstrSecondPath.c_str()))
        return SLoadResult::Success(hModule);
    return SLoadResult::Failure(ELoadFailure::NOT_LOADABLE);
}
} // namespace Launch
