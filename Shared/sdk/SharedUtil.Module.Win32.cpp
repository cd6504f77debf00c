#include "SharedUtil.Module.Win32.h"
#include "SharedUtil.Module.Win32.Seam.h"
#include "SharedUtil.SeamSetter.h"

#include "SharedUtil.Encoding.h"
#include "SharedUtil.Windows.h"

#include <algorithm>
#include <cwchar>
#include <vector>

namespace SharedUtil
{
namespace
{
uint32_t CallGetModuleFileName(wchar_t* pBuffer, uint32_t uiSize)
{
    return GetModuleFileNameW(nullptr, pBuffer, uiSize);
}

uint32_t CallGetFullPathName(const wchar_t* szPath, uint32_t uiSize, wchar_t* pBuffer)
{
    return GetFullPathNameW(szPath, uiSize, pBuffer, nullptr);
}

ModuleFileNameFunction g_pfnModuleFileName = CallGetModuleFileName;
FullPathNameFunction g_pfnFullPathName = CallGetFullPathName;
LibraryLoadFunction g_pfnLibraryLoad = &LoadLibraryExW;

// The module file name, with the buffer grown until it fits; a name still cut
// at the largest buffer is kept as it is.
WString ReadModuleFileName()
{
    std::vector<wchar_t> buffer(MODULE_PATH_INITIAL_UNITS);
    while (true)
    {
        const uint32_t uiSize = static_cast<uint32_t>(buffer.size());
        const uint32_t uiLength = g_pfnModuleFileName(buffer.data(), uiSize);
        if (uiLength < uiSize)
            return WString(buffer.data(), uiLength);
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || uiSize >= MODULE_PATH_MAX_UNITS)
        {
            // A cut name may or may not end in a terminator of its own.
            return WString(buffer.data(), wcsnlen(buffer.data(), uiSize));
        }
        buffer.resize(std::min<std::size_t>(buffer.size() * 2, MODULE_PATH_MAX_UNITS));
    }
}

// The full form of the path; the path unchanged when the system cannot give it.
WString GetFullPathForm(const WString& wstrPath)
{
    const uint32_t uiSize = g_pfnFullPathName(wstrPath.c_str(), 0, nullptr);
    if (uiSize == 0)
        return wstrPath;
    std::vector<wchar_t> buffer(uiSize);
    const uint32_t uiLength = g_pfnFullPathName(wstrPath.c_str(), uiSize, buffer.data());
    // A length that does not fit is the size a changed path would need now.
    if (uiLength == 0 || uiLength >= uiSize)
        return wstrPath;
    return WString(buffer.data(), uiLength);
}

SString ReadExecutablePath()
{
    WString wstrPath = ReadModuleFileName();
    if (!wstrPath.empty())
        wstrPath = GetFullPathForm(wstrPath);
    return WideToUtf8(wstrPath);
}
} // namespace

ModuleFileNameFunction SetModuleFileNameFunction(ModuleFileNameFunction pFunction)
{
    return ReplaceSeamFunction(g_pfnModuleFileName, pFunction, CallGetModuleFileName);
}

FullPathNameFunction SetFullPathNameFunction(FullPathNameFunction pFunction)
{
    return ReplaceSeamFunction(g_pfnFullPathName, pFunction, CallGetFullPathName);
}

LibraryLoadFunction SetLibraryLoadFunction(LibraryLoadFunction pFunction)
{
    return ReplaceSeamFunction(g_pfnLibraryLoad, pFunction, &LoadLibraryExW);
}

SString ReadExecutablePathForTesting()
{
    return ReadExecutablePath();
}

SString GetExecutablePath()
{
    static const SString strExecutablePath = ReadExecutablePath();
    return strExecutablePath;
}

HMODULE LoadModule(const wchar_t* wszPath, DWORD dwFlags)
{
    return g_pfnLibraryLoad(wszPath, nullptr, dwFlags);
}
} // namespace SharedUtil
