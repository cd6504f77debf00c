#pragma once

#include <string>

#include "LaunchResult.h"
#include "SString.h"
#include "SharedUtil.Windows.h"

namespace Launch
{
// Failure classes of loading.
constexpr int LOAD_INVALID_PATH = 2;
constexpr int LOAD_NOT_LOADABLE = 3;

// Saves the process's DLL search directory and, once its owner has changed
// it (m_bRestore), puts it back on destruction. Saving leaves the thread's
// last error untouched, so a caller can still read the error of an earlier
// call.
class CDllDirectoryScope
{
public:
    CDllDirectoryScope();
    ~CDllDirectoryScope();
    CDllDirectoryScope(const CDllDirectoryScope&) = delete;
    CDllDirectoryScope& operator=(const CDllDirectoryScope&) = delete;

    std::wstring m_strSavedDirectory;
    bool m_bRestore;
};

// Loads the loader by its full path; failing that, once more with the DLL
// search directory set to the install directory so that the modules beside
// it are found too. On failure the thread's last error is the failing call's.
SLaunchResult<HMODULE> LoadLoaderModule(const SString& strLoaderPath, const SString& strFileName,
                                        const SString& strInstallDirectory);
} // namespace Launch
