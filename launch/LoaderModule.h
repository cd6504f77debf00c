#pragma once

#include <string>

#include "LaunchIds.h"
#include "LaunchResult.h"
#include "SString.h"
#include "SharedUtil.Windows.h"

namespace Launch
{
// The loaded loader module, or why it could not be loaded and the system
// error of the call that failed.
using SLoadResult = SLaunchResult<HMODULE, ELoadFailure>;

// Saves the process's DLL search directory and, once its owner has changed
// it (m_bRestore), puts it back on destruction. Saving and restoring leave
// the thread's last error untouched, so a caller can still read the error of
// the call before.
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

// Loads the loader by its full path, taking the modules it imports from its
// own folder or the system folder only; failing that, once more with the DLL
// search directory set to the install directory, so that modules the
// loader's code loads by name while it initialises are found there too. The
// search directory is restored before returning, the thread's last error
// kept. A failure carries the failing call's error (uiSystemError), or
// ERROR_BAD_PATHNAME for a path that does not convert.
SLoadResult LoadLoaderModule(const SString& strLoaderPath, const SString& strFileName,
                             const SString& strInstallDirectory);
} // namespace Launch
