#include "SharedUtil.Version.h"

#include <algorithm>
#include <cstring>

namespace SharedUtil
{
namespace
{
constexpr const char* VERSION_FORMAT = "%d.%d.%d-%d.%05d.%d";
} // namespace

SString GetMajorMinorVersion()
{
    const SString strTag = VERSION_TAG;
    return strTag.Slice(0, MAJOR_MINOR_VERSION_LENGTH);
}

extern "C" void SU_CDECL GetLibQelVersion(char* pBuffer, uint32_t uiSize)
{
    if (uiSize == 0)
        return;

    const SString strVersion(VERSION_FORMAT, VERSION_MAJOR, VERSION_MINOR, VERSION_MAINTENANCE, VERSION_TYPE,
                             VERSION_BUILD, VERSION_REVISION);
    const std::size_t uiTextBytes = std::min<std::size_t>(strVersion.length(), uiSize - 1);
    std::memcpy(pBuffer, strVersion.data(), uiTextBytes);
    std::memset(pBuffer + uiTextBytes, 0, uiSize - uiTextBytes);
}
} // namespace SharedUtil
