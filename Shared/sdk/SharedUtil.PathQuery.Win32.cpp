#include "SharedUtil.PathQuery.Win32.h"

#include <shlobj.h>

#include <cwchar>
#include <vector>

#include "SharedUtil.Encoding.h"
#include "SharedUtil.OutOfMemory.h"

namespace SharedUtil
{
namespace
{
// The plain MAX_PATH buffer that SHGetFolderPathW writes into.
constexpr DWORD APPDATA_PATH_CAPACITY = MAX_PATH;
// The largest path GetLongPathNameW may return, with its terminator.
constexpr DWORD LONG_PATH_CAPACITY = 32000;
} // namespace

SString GetAllUsersAppDataPath()
{
    return FailOnOutOfMemory(
        [&]
        {
            wchar_t szPath[APPDATA_PATH_CAPACITY] = {};
            SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, szPath);
            const SString strPath = WideToUtf8(szPath);
            // A "~" marks a short 8.3 name somewhere in the path.
            if (std::wcschr(szPath, L'~'))
                return GetLongPathForm(strPath);
            return strPath;
        },
        [] { return SString(); });
}

SString GetLongPathForm(const SString& strPath)
{
    return FailOnOutOfMemory(
        [&]
        {
            std::vector<wchar_t> buffer(LONG_PATH_CAPACITY);
            buffer[0] = L'\0';
            if (GetLongPathNameW(Utf8ToWide(strPath).c_str(), buffer.data(), LONG_PATH_CAPACITY - 1) == 0)
                return strPath;
            return WideToUtf8(WString(buffer.data(), wcsnlen(buffer.data(), LONG_PATH_CAPACITY)));
        },
        [] { return SString(); });
}

SString ExpandEnvironmentText(const wchar_t* szText)
{
    return FailOnOutOfMemory(
        [&]
        {
            if (!szText)
                return SString();
            const DWORD uiNeeded = ExpandEnvironmentStringsW(szText, nullptr, 0);
            if (uiNeeded == 0 || uiNeeded > MAX_EXPANDED_UNITS)
                return WideToUtf8(szText);

            std::vector<wchar_t> buffer(uiNeeded, L'\0');
            if (ExpandEnvironmentStringsW(szText, buffer.data(), uiNeeded) == 0)
                return WideToUtf8(szText);
            // Bounded: the environment may have grown since the size was asked for.
            return WideToUtf8(WString(buffer.data(), wcsnlen(buffer.data(), uiNeeded)));
        },
        [] { return SString(); });
}
} // namespace SharedUtil
