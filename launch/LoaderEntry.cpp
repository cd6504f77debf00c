#include "LoaderEntry.h"

#include <cstring>
#include <psapi.h>

#include "LaunchIds.h"
#include "SharedUtil.ReportLog.Win32.h"

using namespace SharedUtil;

namespace Launch
{
bool IsAddressInModule(uintptr_t uiAddress, uintptr_t uiBase, uintptr_t uiSize)
{
    return uiAddress >= uiBase && uiAddress - uiBase < uiSize;
}

SHandOffResult CallLoaderEntry(HMODULE hLoader, HINSTANCE hInstance, HINSTANCE hPrevInstance, const char* szCmdLine,
                               int nCmdShow)
{
    if (!hLoader)
        return SHandOffResult::Failure(EExitCode::HANDOFF_FAILED);

    FARPROC pEntry = GetProcAddress(hLoader, LOADER_ENTRY_NAME);
    if (!pEntry)
    {
        WriteReportLog(REPORT_ENTRY_MISSING, "Launcher Main: DoWinMain function not found");
        return SHandOffResult::Failure(EExitCode::HANDOFF_FAILED);
    }

    MODULEINFO moduleInfo = {};
    if (!K32GetModuleInformation(GetCurrentProcess(), hLoader, &moduleInfo, sizeof(moduleInfo)))
        return SHandOffResult::Failure(EExitCode::HANDOFF_FAILED);

    if (!IsAddressInModule(reinterpret_cast<uintptr_t>(pEntry), reinterpret_cast<uintptr_t>(moduleInfo.lpBaseOfDll),
                           moduleInfo.SizeOfImage))
    {
        WriteReportLog(REPORT_ENTRY_MISSING, "Launcher Main: Function pointer outside module bounds");
        return SHandOffResult::Failure(EExitCode::HANDOFF_FAILED);
    }

    char szCommandLine[COMMAND_LINE_BUFFER_SIZE] = {};
    if (szCmdLine)
        std::memcpy(szCommandLine, szCmdLine, strnlen(szCmdLine, COMMAND_LINE_BUFFER_SIZE - 1));

    auto pfnDoWinMain = reinterpret_cast<PFN_DoWinMain>(reinterpret_cast<void*>(pEntry));
    // Reached by the exceptions this program's own unwinder sees: on x86_64
    // those of every GCC-built loader, as the system dispatches them, and
    // the loader's frames are unwound before it is freed. On i686 another
    // module's GCC exception cannot reach it and ends in abort(); Microsoft
    // C++ exceptions reach it in neither build. Both are the guard's.
    try
    {
        return SHandOffResult::Success(
            CallEntryGuarded(pfnDoWinMain, hInstance, hPrevInstance, szCommandLine, nCmdShow));
    }
    catch (...)
    {
        ReportEntryException();
        return SHandOffResult::Failure(EExitCode::HANDOFF_FAILED);
    }
}
} // namespace Launch
