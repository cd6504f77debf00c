#include "SharedUtil.SystemError.Win32.h"

#include "SharedUtil.Encoding.h"
#include "SharedUtil.ScopedHandle.Win32.h"

namespace SharedUtil
{
namespace
{
constexpr DWORD MESSAGE_FLAGS =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
constexpr DWORD USER_DEFAULT_LANGUAGE = MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT);
} // namespace

SString DescribeSystemError(uint32_t uiErrorCode, bool bStripLineBreaks, bool bWithCode)
{
    SString strText;
    wchar_t* pMessage = nullptr;
    // With ALLOCATE_BUFFER the system stores its buffer's address through the
    // buffer argument; the count it returns is not needed.
    FormatMessageW(MESSAGE_FLAGS, nullptr, uiErrorCode, USER_DEFAULT_LANGUAGE, reinterpret_cast<LPWSTR>(&pMessage), 0,
                   nullptr);
    const CScopedLocalMemory message(pMessage);
    if (message)
        strText = WideToUtf8(pMessage);

    if (bStripLineBreaks)
        strText = strText.ReplaceAll("\n", "").ReplaceAll("\r", "");

    if (bWithCode)
        return SString("Error %u: %s", uiErrorCode, strText.c_str());
    return strText;
}
} // namespace SharedUtil
