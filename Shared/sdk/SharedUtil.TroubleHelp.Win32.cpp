#include "SharedUtil.TroubleHelp.Win32.h"

#include "SharedUtil.Clipboard.Win32.h"
#include "SharedUtil.MessageBox.Win32.h"
#include "SharedUtil.OutOfMemory.h"
#include "SharedUtil.Registry.h"
#include "SharedUtil.ReportLog.Win32.h"
#include "SharedUtil.Shell.Win32.h"
#include "SharedUtil.Terminate.Win32.h"

namespace SharedUtil
{
namespace
{
constexpr uint32_t NO_LOG_CAP = 0;
constexpr UINT TERMINATED_EXIT_CODE = 1;

constexpr const char* TROUBLE_QUESTION = "Do you want to see some on-line help about this problem ?";
constexpr const char* TROUBLE_QUESTION_SEPARATOR = "\n\n\n";
constexpr const char* BROWSER_NOTICE_TEXT = "Your browser will now display a web page with some help infomation.\n\n"
                                            "(If the page fails to load, paste (CTRL-V) the URL into your web browser)";
constexpr const char* BROWSER_NOTICE_CAPTION = "Qel: Vendaro";

static_assert(TROUBLE_ICON_MASK == (MB_ICONHAND | MB_ICONQUESTION | MB_ICONEXCLAMATION | MB_ICONASTERISK));
constexpr unsigned int QUESTION_BOX_TYPE = MB_TOPMOST | MB_YESNO;
constexpr unsigned int MESSAGE_BOX_TYPE = MB_TOPMOST | MB_OK;
constexpr unsigned int BROWSER_NOTICE_TYPE = MB_TOPMOST | MB_ICONASTERISK | MB_OK;

constexpr const char* URL_TOO_LONG_FORMAT = "Trouble URL refused: longer than %u bytes";
constexpr const char* URL_NOT_WEB = "Trouble URL refused: not an http:// or https:// address";

// The help URL from the settings; false, with a report line that says why,
// when it is not one to open. The URL itself stays out of the line: it may
// hold anything, line breaks included.
bool GetHelpUrl(const SString& strType, SString& strOutUrl)
{
    if (!BuildTroubleUrl(GetSetting(TROUBLE_URL_SETTING), GetSetting(TROUBLE_VERSION_EXT_SETTING),
                         GetSetting(TROUBLE_SERIAL_SETTING), strType, strOutUrl))
    {
        WriteReportLog(REPORT_TROUBLE_URL_REFUSED,
                       SString(URL_TOO_LONG_FORMAT, static_cast<unsigned int>(TROUBLE_URL_MAX_BYTES)), NO_LOG_CAP);
        return false;
    }
    if (!IsWebAddress(strOutUrl))
    {
        WriteReportLog(REPORT_TROUBLE_URL_REFUSED, URL_NOT_WEB, NO_LOG_CAP);
        return false;
    }
    return true;
}
} // namespace

void OfferTroubleHelp(const SString& strType, int iFlags, const SString& strMessage, const SString& strErrorCode)
{
    WriteReportLog(REPORT_TROUBLE, SString("Trouble %s", strType.c_str()), NO_LOG_CAP);
    SetSetting(TROUBLE_RECORD_SETTING, BuildTroubleRecord(strType, iFlags, strMessage, strErrorCode));

    if (iFlags & TROUBLE_EXIT_FIRST)
        TerminateCurrentProcess(TERMINATED_EXIT_CODE);

    const bool bHandled = ProcessPendingTroubleHelp();

    if (((iFlags & TROUBLE_EXIT_IF_SHOWN) && bHandled) || ((iFlags & TROUBLE_EXIT_IF_NOT_SHOWN) && !bHandled))
        TerminateCurrentProcess(TERMINATED_EXIT_CODE);
}

bool ProcessPendingTroubleHelp()
{
    // Where memory runs out the help is not handled, as any other failure.
    return FailOnOutOfMemory(
        []
        {
            STroubleRecord record;
            // Read where OfferTroubleHelp wrote it: a record of the same name in the
            // other registry view is another run's, and not ours to show or clear.
            if (!ParseTroubleRecord(GetSettingInWriteView(TROUBLE_RECORD_SETTING), record))
                return false;
            // Consumed before anything is shown: a record is acted on once at most.
            SetSetting(TROUBLE_RECORD_SETTING, "");

            const SString strTitle = SString("Qel: Vendaro %s   (CTRL+C to copy)", record.strErrorCode.c_str());
            const unsigned int uiIconBits = static_cast<unsigned int>(record.iFlags & TROUBLE_ICON_MASK);

            if (record.iFlags & TROUBLE_ASK_FIRST)
            {
                SString strQuestion = record.strMessage;
                if (!strQuestion.empty())
                    strQuestion += TROUBLE_QUESTION_SEPARATOR;
                strQuestion += TROUBLE_QUESTION;
                if (ShowMessageBoxUtf8(nullptr, strQuestion, strTitle, uiIconBits | QUESTION_BOX_TYPE) != IDYES)
                    return false;
            }
            else
            {
                if (!record.strMessage.empty())
                    ShowMessageBoxUtf8(nullptr, record.strMessage, strTitle, uiIconBits | MESSAGE_BOX_TYPE);
                if (record.iFlags & TROUBLE_MESSAGE_ONLY)
                    return true;
            }

            // Before the notice, which promises a page.
            SString strUrl;
            if (!GetHelpUrl(record.strType, strUrl))
                return false;
            ShowMessageBoxUtf8(nullptr, BROWSER_NOTICE_TEXT, BROWSER_NOTICE_CAPTION, BROWSER_NOTICE_TYPE);
            CopyTextToClipboard(strUrl);
            ShellLaunch(false, "open", strUrl, "", "", SW_SHOWNORMAL);
            return true;
        },
        [] { return false; });
}

} // namespace SharedUtil
