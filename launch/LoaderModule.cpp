#include "LoaderModule.h"

#include "SharedUtil.Encoding.h"
#include "SharedUtil.LastError.Win32.h"

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

SLaunchResult<HMODULE> LoadLoaderModule(const SString& strLoaderPath, const SString& strFileName,
                                        const SString& strInstallDirectory)
{
    WString wstrLoaderPath = Utf8ToWide(strLoaderPath);
    if (wstrLoaderPath.empty())
        return SLaunchResult<HMODULE>::Failure(LOAD_INVALID_PATH);

    if (HMODULE hModule = LoadLibraryW(wstrLoaderPath.c_str()))
        return SLaunchResult<HMODULE>::Success(hModule);

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
        return SLaunchResult<HMODULE>::Failure(LOAD_INVALID_PATH);

    if (!SetDllDirectoryW(wstrInstallDirectory.c_str()))
        return SLaunchResult<HMODULE>::Failure(LOAD_NOT_LOADABLE);
    dllDirectoryScope.m_bRestore = true;

    WString wstrSecondPath = wstrInstallDirectory + L'\\' + wstrFileName;
    if (HMODULE hModule = LoadLibraryW(wstrSecondPath.c_str()))
        return SLaunchResult<HMODULE>::Success(hModule);
    return SLaunchResult<HMODULE>::Failure(LOAD_NOT_LOADABLE);
}
} // namespace Launch
