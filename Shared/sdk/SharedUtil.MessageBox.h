#pragma once

// Message boxes with UTF-8 text: the type rule here, the box itself in
// SharedUtil.MessageBox.Win32.h.
namespace SharedUtil
{
// MessageBoxW's type bits the rule reads and sets, spelled out for the
// portable build (the Windows file holds them to <windows.h>).
constexpr unsigned int MESSAGE_BOX_ICON_MASK = 0x70;
constexpr unsigned int MESSAGE_BOX_ICON_EXCLAMATION = 0x30;
constexpr unsigned int MESSAGE_BOX_TOPMOST = 0x40000;
constexpr unsigned int MESSAGE_BOX_SYSTEM_MODAL = 0x1000;

// The message-box type ShowMessageBoxUtf8 passes on: a warning icon when no
// icon bits are given, system-modal whenever topmost.
unsigned int GetEffectiveMessageBoxType(unsigned int uiType);
} // namespace SharedUtil
