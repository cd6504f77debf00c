#include "SharedUtil.MessageBox.h"

namespace SharedUtil
{
unsigned int GetEffectiveMessageBoxType(unsigned int uiType)
{
    if ((uiType & MESSAGE_BOX_ICON_MASK) == 0)
        uiType |= MESSAGE_BOX_ICON_EXCLAMATION;
    if (uiType & MESSAGE_BOX_TOPMOST)
        uiType |= MESSAGE_BOX_SYSTEM_MODAL;
    return uiType;
}
} // namespace SharedUtil
