#include "SharedUtil.MessageBox.Win32.h"

#include "SharedUtil.Encoding.h"
#include "SharedUtil.MessageBox.h"

namespace SharedUtil
{
// The icons MessageBoxW draws; MB_ICONMASK (0xF0) also covers a bit no icon uses.
static_assert(MESSAGE_BOX_ICON_MASK == (MB_ICONHAND | MB_ICONQUESTION | MB_ICONEXCLAMATION | MB_ICONASTERISK));
static_assert(MESSAGE_BOX_ICON_EXCLAMATION == MB_ICONEXCLAMATION);
static_assert(MESSAGE_BOX_TOPMOST == MB_TOPMOST);
static_assert(MESSAGE_BOX_SYSTEM_MODAL == MB_SYSTEMMODAL);

int ShowMessageBoxUtf8(HWND hOwner, const SString& strText, const SString& strCaption, unsigned int uiType)
{
    const WString wstrText = Utf8ToWide(strText);
    const WString wstrCaption = Utf8ToWide(strCaption);
    return MessageBoxW(hOwner, wstrText.c_str(), wstrCaption.c_str(), GetEffectiveMessageBoxType(uiType));
}
} // namespace SharedUtil
