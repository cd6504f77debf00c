#include "SharedUtil.FileMode.h"

#include <cstring>

namespace SharedUtil
{
bool ParseFileMode(const char* szMode, SFileMode& outMode)
{
    if (!szMode)
        return false;
    const std::size_t uiLength = strnlen(szMode, MAX_FILE_MODE_LENGTH + 1);
    if (uiLength == 0 || uiLength > MAX_FILE_MODE_LENGTH)
        return false;

    const char cKind = szMode[0];
    if (cKind != 'r' && cKind != 'w' && cKind != 'a')
        return false;
    bool bPlus = false;
    bool bBinary = false;
    bool bText = false;
    for (std::size_t i = 1; i < uiLength; ++i)
    {
        const char c = szMode[i];
        if (c == '+' && !bPlus)
            bPlus = true;
        else if (c == 'b' && !bBinary && !bText)
            bBinary = true;
        else if (c == 't' && !bBinary && !bText)
            bText = true;
        else
            return false;
    }

    SFileMode mode;
    mode.uiAccess =
        bPlus ? FILE_ACCESS_READ | FILE_ACCESS_WRITE : (cKind == 'r' ? FILE_ACCESS_READ : FILE_ACCESS_WRITE);
    const uint32_t uiReadWrite =
        bPlus ? DESCRIPTOR_READ_WRITE : (cKind == 'r' ? DESCRIPTOR_READ_ONLY : DESCRIPTOR_WRITE_ONLY);
    switch (cKind)
    {
    case 'r':
        mode.eCreation = EFileCreation::CREATION_OPEN_EXISTING;
        mode.uiDescriptorFlags = uiReadWrite;
        break;
    case 'w':
        mode.eCreation = EFileCreation::CREATION_CREATE_ALWAYS;
        mode.uiDescriptorFlags = uiReadWrite | DESCRIPTOR_CREATE | DESCRIPTOR_TRUNCATE;
        break;
    default:
        mode.eCreation = EFileCreation::CREATION_OPEN_ALWAYS;
        mode.uiDescriptorFlags = uiReadWrite | DESCRIPTOR_APPEND | DESCRIPTOR_CREATE;
        break;
    }
    mode.uiDescriptorFlags |= bBinary ? DESCRIPTOR_BINARY : DESCRIPTOR_TEXT;

    std::size_t uiStream = 0;
    mode.szStreamMode[uiStream++] = cKind;
    if (bPlus)
        mode.szStreamMode[uiStream++] = '+';
    if (bBinary)
        mode.szStreamMode[uiStream++] = 'b';
    mode.szStreamMode[uiStream] = '\0';

    outMode = mode;
    return true;
}
} // namespace SharedUtil
