#include "SharedUtil.File.Win32.h"

#include <shlobj.h>

#include <cerrno>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <vector>

#include "SharedUtil.Assert.h"
#include "SharedUtil.Encoding.h"
#include "SharedUtil.Path.h"

namespace SharedUtil
{
namespace
{
// Room for the final path of a handle; longer paths are let through unchecked.
constexpr DWORD FINAL_PATH_CAPACITY = 1024;
// \\?\UNC\ starts the final path of a file on a network share.
constexpr wchar_t NETWORK_FINAL_PATH_PREFIX[] = L"\\\\?\\UNC\\";
constexpr DWORD NETWORK_FINAL_PATH_PREFIX_LENGTH = std::size(NETWORK_FINAL_PATH_PREFIX) - 1;
// The plain MAX_PATH buffer that SHGetFolderPathW writes into.
constexpr DWORD APPDATA_PATH_CAPACITY = MAX_PATH;
// The largest path GetLongPathNameW may return, with its terminator.
constexpr DWORD LONG_PATH_CAPACITY = 32000;

FinalPathQuery g_pFinalPathQuery = &GetFinalPathNameByHandleW;

FILE* FailWithErrno(int iErrno)
{
    errno = iErrno;
    return nullptr;
}

DWORD ToDesiredAccess(uint32_t uiAccess)
{
    DWORD uiDesired = 0;
    if (uiAccess & FILE_ACCESS_READ)
        uiDesired |= GENERIC_READ;
    if (uiAccess & FILE_ACCESS_WRITE)
        uiDesired |= GENERIC_WRITE;
    return uiDesired;
}

DWORD ToCreationDisposition(EFileCreation eCreation)
{
    switch (eCreation)
    {
    case EFileCreation::CREATION_CREATE_ALWAYS:
        return CREATE_ALWAYS;
    case EFileCreation::CREATION_OPEN_ALWAYS:
        return OPEN_ALWAYS;
    case EFileCreation::CREATION_OPEN_EXISTING:
        break;
    }
    return OPEN_EXISTING;
}

int ToOsHandleFlags(uint32_t uiDescriptorFlags)
{
    struct SFlagPair
    {
        uint32_t uiOurs;
        int iRuntime;
    };
    constexpr SFlagPair FLAG_PAIRS[] = {
        {DESCRIPTOR_READ_ONLY, _O_RDONLY}, {DESCRIPTOR_WRITE_ONLY, _O_WRONLY}, {DESCRIPTOR_READ_WRITE, _O_RDWR},
        {DESCRIPTOR_APPEND, _O_APPEND},    {DESCRIPTOR_CREATE, _O_CREAT},      {DESCRIPTOR_TRUNCATE, _O_TRUNC},
        {DESCRIPTOR_BINARY, _O_BINARY},    {DESCRIPTOR_TEXT, _O_TEXT},
    };
    int iFlags = 0;
    for (const SFlagPair& pair : FLAG_PAIRS)
    {
        if (uiDescriptorFlags & pair.uiOurs)
            iFlags |= pair.iRuntime;
    }
    return iFlags;
}

// A final path of \\?\UNC\... (the letters in any case) that fits the buffer.
bool IsNetworkFinalPath(const wchar_t* szPath, DWORD uiLength)
{
    if (uiLength < NETWORK_FINAL_PATH_PREFIX_LENGTH || uiLength >= FINAL_PATH_CAPACITY)
        return false;
    for (DWORD i = 0; i < NETWORK_FINAL_PATH_PREFIX_LENGTH; ++i)
    {
        if (std::towupper(szPath[i]) != NETWORK_FINAL_PATH_PREFIX[i])
            return false;
    }
    return true;
}
} // namespace

int ErrnoFromWin32Error(DWORD uiError)
{
    switch (uiError)
    {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return ENOENT;
    case ERROR_TOO_MANY_OPEN_FILES:
        return EMFILE;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EACCES;
    case ERROR_INVALID_DRIVE:
        return ENODEV;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    case ERROR_NOT_READY:
        return ENXIO;
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL:
        return ENOSPC;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
        return EINVAL;
    default:
        return EIO;
    }
}

FinalPathQuery SetFinalPathQuery(FinalPathQuery pQuery)
{
    const FinalPathQuery pPrevious = g_pFinalPathQuery;
    g_pFinalPathQuery = pQuery ? pQuery : &GetFinalPathNameByHandleW;
    return pPrevious;
}

void EnsureParentFolders(const SString& strFilePath)
{
    const SString strSeparator = "\\";
    std::vector<SString> parts;
    NormalizeSeparators(strFilePath).SplitInto(strSeparator, parts);
    const int32_t iPartCount = static_cast<int32_t>(parts.size());

    // The number of leading parts that already form a folder; -1 for none.
    int32_t iExisting = iPartCount - 1;
    while (iExisting >= 0 && !IsExistingDirectory(JoinParts(parts, strSeparator, 0, iExisting)))
        --iExisting;

    // The last part is the file name, so at most iPartCount - 1 parts make a folder.
    for (int32_t iLevel = iExisting + 1; iLevel < iPartCount; ++iLevel)
        _wmkdir(Utf8ToWide(JoinParts(parts, strSeparator, 0, iLevel)).c_str());
}

bool AppendToFile(const SString& strPath, const void* pData, uint32_t uiLength, bool bResetAttributes)
{
    SU_ASSERT(pData || uiLength == 0);
    if (!pData && uiLength != 0)
        return false;
    if (bResetAttributes)
        SetFileAttributesW(Utf8ToWide(strPath).c_str(), FILE_ATTRIBUTE_NORMAL);

    FILE* pFile = OpenFileChecked(strPath.c_str(), "ab");
    if (!pFile)
        return false;
    const bool bWritten = uiLength == 0 || std::fwrite(pData, 1, uiLength, pFile) == uiLength;
    std::fclose(pFile);
    return bWritten;
}

FILE* OpenFileChecked(const char* szPath, const char* szMode)
{
    SFileMode mode;
    if (!IsPermittedFilePath(szPath) || !ParseFileMode(szMode, mode))
        return FailWithErrno(EINVAL);

    try
    {
        const SString strPath = szPath;
        const WString wstrPath = Utf8ToWide(strPath);
        if (wstrPath.empty())
            return FailWithErrno(EINVAL);

        const HANDLE hFile = CreateFileW(wstrPath.c_str(), ToDesiredAccess(mode.uiAccess),
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                         ToCreationDisposition(mode.eCreation), FILE_ATTRIBUTE_NORMAL, nullptr);
        if (hFile == INVALID_HANDLE_VALUE)
            return FailWithErrno(ErrnoFromWin32Error(GetLastError()));

        // Devices, pipes and consoles are no files.
        if (GetFileType(hFile) != FILE_TYPE_DISK)
        {
            CloseHandle(hFile);
            return FailWithErrno(EACCES);
        }

        wchar_t szFinalPath[FINAL_PATH_CAPACITY] = {};
        const DWORD uiFinalLength = g_pFinalPathQuery(hFile, szFinalPath, FINAL_PATH_CAPACITY, 0);
        if (IsNetworkFinalPath(szFinalPath, uiFinalLength))
        {
            CloseHandle(hFile);
            return FailWithErrno(EACCES);
        }

        const int iDescriptor =
            _open_osfhandle(reinterpret_cast<intptr_t>(hFile), ToOsHandleFlags(mode.uiDescriptorFlags));
        if (iDescriptor == -1)
        {
            const int iErrno = errno;
            CloseHandle(hFile);
            return FailWithErrno(iErrno);
        }

        FILE* pStream = _fdopen(iDescriptor, mode.szStreamMode);
        if (!pStream)
        {
            const int iErrno = errno;
            _close(iDescriptor);
            return FailWithErrno(iErrno);
        }
        return pStream;
    }
    catch (...)
    {
        return FailWithErrno(EINVAL);
    }
}

SString GetAllUsersAppDataPath()
{
    wchar_t szPath[APPDATA_PATH_CAPACITY] = {};
    SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, szPath);
    const SString strPath = WideToUtf8(szPath);
    // A "~" marks a short 8.3 name somewhere in the path.
    if (std::wcschr(szPath, L'~'))
        return GetLongPathForm(strPath);
    return strPath;
}

SString GetLongPathForm(const SString& strPath)
{
    std::vector<wchar_t> buffer(LONG_PATH_CAPACITY);
    buffer[0] = L'\0';
    if (GetLongPathNameW(Utf8ToWide(strPath).c_str(), buffer.data(), LONG_PATH_CAPACITY - 1) == 0)
        return strPath;
    return WideToUtf8(WString(buffer.data(), wcsnlen(buffer.data(), LONG_PATH_CAPACITY)));
}

SString ExpandEnvironmentText(const wchar_t* szText)
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
}

namespace
{
// The attributes of the path itself (a link's own, which for a folder link
// include FILE_ATTRIBUTE_DIRECTORY). A trailing separator still names a
// folder. Errors, and a failed allocation of the converted path, answer false.
bool QueryFileAttributes(const SString& strPath, DWORD& dwAttributes)
{
    try
    {
        dwAttributes = GetFileAttributesW(Utf8ToWide(strPath).c_str());
        return dwAttributes != INVALID_FILE_ATTRIBUTES;
    }
    catch (...)
    {
        return false;
    }
}
} // namespace

bool IsExistingDirectory(const SString& strPath)
{
    DWORD dwAttributes = 0;
    return QueryFileAttributes(strPath, dwAttributes) && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsExistingFile(const SString& strPath)
{
    DWORD dwAttributes = 0;
    return QueryFileAttributes(strPath, dwAttributes) &&
           (dwAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

} // namespace SharedUtil
