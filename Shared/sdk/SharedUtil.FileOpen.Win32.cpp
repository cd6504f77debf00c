#include "SharedUtil.FileOpen.Win32.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <io.h>

#include "SharedUtil.FileAppend.Win32.h"
#include "SharedUtil.FileMode.h"

namespace SharedUtil
{
namespace
{
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
} // namespace

FILE* OpenFileChecked(const char* szPath, const char* szMode)
{
    SFileMode mode;
    if (!ParseFileMode(szMode, mode))
        return FailWithErrno(EINVAL);

    // The path rules are the checked open's.
    CScopedKernelHandle hFile = OpenHandleChecked(szPath, ToDesiredAccess(mode.uiAccess),
                                                  ToCreationDisposition(mode.eCreation), ELinkPolicy::FOLLOW_LINKS);
    if (!hFile.IsValid())
        return nullptr;

    // The descriptor owns the handle from here on, and the stream the descriptor.
    const int iDescriptor =
        _open_osfhandle(reinterpret_cast<intptr_t>(hFile.Get()), ToOsHandleFlags(mode.uiDescriptorFlags));
    if (iDescriptor == -1)
    {
        const int iErrno = errno;
        hFile.Reset();
        return FailWithErrno(iErrno);
    }
    static_cast<void>(hFile.Take());

    // Wine's msvcrt fails without setting errno when no stream is left, the
    // one way this call fails on a descriptor just made.
    errno = 0;
    FILE* pStream = _fdopen(iDescriptor, mode.szStreamMode);
    if (!pStream)
    {
        const int iErrno = errno != 0 ? errno : EMFILE;
        _close(iDescriptor);
        return FailWithErrno(iErrno);
    }
    return pStream;
}
} // namespace SharedUtil
