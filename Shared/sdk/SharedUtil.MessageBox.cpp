#include "SharedUtil.MessageBox.h"

namespace SharedUtil
{
namespace
{
constexpr unsigned int MESSAGE_BOX_ICON_MASK = 0x70;
constexpr unsigned int MESSAGE_BOX_ICON_EXCLAMATION = 0x30;
constexpr unsigned int MESSAGE_BOX_TOPMOST = 0x40000;
constexpr unsigned int MESSAGE_BOX_SYSTEM_MODAL = 0x1000;
} // namespace

unsigned int GetEffectiveMessageBoxType(unsigned int uiType)
{
    if ((uiType & MESSAGE_BOX_ICON_MASK) == 0)
        uiType |= MESSAGE_BOX_ICON_EXCLAMATION;
    if (uiType & MESSAGE_BOX_TOPMOST)
        uiType |= MESSAGE_BOX_SYSTEM_MODAL;
    return uiType;
}
} // namespace SharedUtil
