#include "SharedUtil.FilePath.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string_view>

#include "SharedUtil.Path.h"

namespace SharedUtil
{
namespace
{
bool IsSeparator(char c)
{
    return c == PATH_SEPARATOR || c == '/';
}

bool IsAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char ToAsciiUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Compares ASCII letters without case; every other byte as itself.
bool EqualsNoCase(std::string_view svText, std::string_view svUpperName)
{
    return svText.size() == svUpperName.size() &&
           std::equal(svText.begin(), svText.end(), svUpperName.begin(),
                      [](char c, char cUpper) { return ToAsciiUpper(c) == cUpper; });
}

// A ".." at the start or after a separator, ending the path or followed by one.
bool HasParentComponent(const char* szPath, std::size_t uiLength)
{
    for (std::size_t i = 0; i + 1 < uiLength; ++i)
    {
        if (szPath[i] != '.' || szPath[i + 1] != '.')
            continue;
        const bool bStartsComponent = i == 0 || IsSeparator(szPath[i - 1]);
        const bool bEndsComponent = i + 2 == uiLength || IsSeparator(szPath[i + 2]);
        if (bStartsComponent && bEndsComponent)
            return true;
    }
    return false;
}

// ":" only once, and only as a drive letter's colon.
bool HasOnlyDriveColon(const char* szPath, std::size_t uiLength)
{
    for (std::size_t i = 0; i < uiLength; ++i)
    {
        if (szPath[i] == ':' && (i != 1 || !IsAsciiLetter(szPath[0])))
            return false;
    }
    return true;
}

// \\.\ and \\?\ in any mix of separators, and \??\.
bool IsNamespacePath(const char* szPath, std::size_t uiLength)
{
    constexpr std::size_t NAMESPACE_PREFIX_LENGTH = 4;
    if (uiLength < NAMESPACE_PREFIX_LENGTH)
        return false;
    if (IsSeparator(szPath[0]) && IsSeparator(szPath[1]) && (szPath[2] == '.' || szPath[2] == '?') &&
        IsSeparator(szPath[3]))
        return true;
    return std::strncmp(szPath, "\\??\\", NAMESPACE_PREFIX_LENGTH) == 0;
}
} // namespace

bool IsPermittedFilePath(const char* szPath)
{
    if (!szPath)
        return false;
    const std::size_t uiLength = strnlen(szPath, MAX_PERMITTED_PATH_BYTES + 1);
    if (uiLength == 0 || uiLength > MAX_PERMITTED_PATH_BYTES)
        return false;
    if (HasParentComponent(szPath, uiLength))
        return false;
    if (!HasOnlyDriveColon(szPath, uiLength))
        return false;
    if (IsNamespacePath(szPath, uiLength))
        return false;
    return !IsReservedDeviceName(szPath);
}

bool IsReservedDeviceName(const char* szPath)
{
    if (!szPath)
        return false;
    const std::string_view svPath(szPath);
    // npos + 1 is 0: without a separator the whole path is the last component.
    const std::string_view svName = svPath.substr(svPath.find_last_of("\\/") + 1);
    std::string_view svStem = svName.substr(0, svName.find_first_of(".:"));
    svStem = svStem.substr(0, svStem.find_last_not_of(" .") + 1);

    constexpr std::size_t NUMBERED_PREFIX_LENGTH = 3;
    constexpr std::size_t NUMBERED_NAME_LENGTH = 4;
    if (svStem.size() == NUMBERED_NAME_LENGTH)
    {
        const char cDigit = svStem[NUMBERED_PREFIX_LENGTH];
        const std::string_view svPrefix = svStem.substr(0, NUMBERED_PREFIX_LENGTH);
        return cDigit >= '1' && cDigit <= '9' && (EqualsNoCase(svPrefix, "COM") || EqualsNoCase(svPrefix, "LPT"));
    }
    constexpr const char* RESERVED_NAMES[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    return std::any_of(std::begin(RESERVED_NAMES), std::end(RESERVED_NAMES),
                       [svStem](const char* szName) { return EqualsNoCase(svStem, szName); });
}
} // namespace SharedUtil
