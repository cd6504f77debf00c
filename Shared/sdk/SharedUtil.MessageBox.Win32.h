#pragma once

#include "SString.h"
#include "SharedUtil.MessageBox.h"
#include "SharedUtil.Windows.h"

namespace SharedUtil
{
// MessageBoxW with UTF-8 text and caption and the effective type
// (GetEffectiveMessageBoxType): the id of the button that closed the box.
int ShowMessageBoxUtf8(HWND hOwner, const SString& strText, const SString& strCaption, unsigned int uiType);
} // namespace SharedUtil
