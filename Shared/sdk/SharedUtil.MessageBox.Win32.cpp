#include "SharedUtil.MessageBox.Win32.h"

#include "SharedUtil.Encoding.h"

namespace SharedUtil
{
int ShowMessageBoxUtf8(HWND hOwner, const SString& strText, const SString& strCaption, unsigned int uiType)
{
    const WString wstrText = Utf8ToWide(strText);
    const WString wstrCaption = Utf8ToWide(strCaption);
    return MessageBoxW(hOwner, wstrText.c_str(), wstrCaption.c_str(), GetEffectiveMessageBoxType(uiType));
}
} // namespace SharedUtil
