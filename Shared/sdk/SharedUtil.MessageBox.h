#pragma once

// Message boxes with UTF-8 text: the type rule here, the box itself in
// SharedUtil.MessageBox.Win32.h.
namespace SharedUtil
{
// The message-box type ShowMessageBoxUtf8 passes on: a warning icon when no
// icon bits (0x70) are given, system-modal whenever topmost.
unsigned int GetEffectiveMessageBoxType(unsigned int uiType);
} // namespace SharedUtil
