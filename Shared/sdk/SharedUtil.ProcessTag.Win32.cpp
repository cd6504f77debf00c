#include "SharedUtil.ProcessTag.Win32.Seam.h"
#include "SharedUtil.ProcessTag.Win32.h"

#include "SharedUtil.Module.Win32.h"
#include "SharedUtil.ScopedHandle.Win32.h"

#include <tlhelp32.h>

namespace SharedUtil
{
namespace
{
constexpr int ROLE_UNDECIDED = -1;
constexpr int ROLE_OTHER = 0;
constexpr int ROLE_GAME = 1;

constexpr const char* PROCESS_TAG_FORMAT = "%05d";
constexpr const char* GAME_PROCESS_TAG_FORMAT = "%05d-%05d";

// The snapshot entry's layout as the 32-bit system defines it.
constexpr std::size_t PROCESS_ENTRY_SIZE_32 = 556;
static_assert(sizeof(void*) != 4 || sizeof(PROCESSENTRY32W) == PROCESS_ENTRY_SIZE_32);

// Filled by the first call and never changed, without a lock: the launcher
// calls these from its one thread. The tag's function-local static makes only
// its construction thread-safe, not its filling.
int g_iGameRole = ROLE_UNDECIDED;
SProcessTagCounters g_Counters;

SString& GetProcessTagCache()
{
    static SString strTag;
    return strTag;
}

// 0 when the snapshot cannot be taken or does not list the process.
DWORD FindParentProcessId(DWORD uiProcessId)
{
    ++g_Counters.uiSnapshots;
    DWORD uiParentId = 0;
    const CScopedKernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    if (snapshot && Process32FirstW(snapshot.Get(), &entry))
    {
        do
        {
            if (entry.th32ProcessID == uiProcessId)
            {
                uiParentId = entry.th32ParentProcessID;
                break;
            }
        } while (Process32NextW(snapshot.Get(), &entry));
    }
    return uiParentId;
}
} // namespace

bool IsGameProcess()
{
    if (g_iGameRole != ROLE_UNDECIDED)
        return g_iGameRole == ROLE_GAME;
    ++g_Counters.uiRoleTests;
    const bool bGame = IsGameExecutable(GetExecutablePath());
    g_iGameRole = bGame ? ROLE_GAME : ROLE_OTHER;
    return bGame;
}

SString GetProcessLogTag()
{
    SString& strTag = GetProcessTagCache();
    if (!strTag.empty())
        return strTag;
    const DWORD uiProcessId = GetCurrentProcessId();
    if (!IsGameProcess())
        strTag = SString(PROCESS_TAG_FORMAT, static_cast<int>(uiProcessId));
    else
        strTag = SString(GAME_PROCESS_TAG_FORMAT, static_cast<int>(FindParentProcessId(uiProcessId)),
                         static_cast<int>(uiProcessId));
    return strTag;
}

SProcessTagCounters GetProcessTagCountersForTesting()
{
    return g_Counters;
}
} // namespace SharedUtil
