// Runs the trouble-help flow in a process of its own, so that the tests can
// answer its message boxes from outside and see it terminate.
//   trouble_help_probe offer x<type hex> <flags> x<message hex> x<error code hex>
//       OfferTroubleHelp; exits with PROBE_OFFER_RETURNED when it returns.
//   trouble_help_probe process
//       ProcessPendingTroubleHelp; exits with PROBE_PROCESSED plus its result.
// Texts come hex-encoded (after an "x", so that none is empty) to carry any
// byte through the command line. Each message box gets the icon it shows
// recorded as the window property PROBE_ICON_PROPERTY, in MB_ICON* bits.
#include "TroubleHelpProbe.h"

#include "SharedUtil.Encoding.h"
#include "SharedUtil.ScopedHandle.Win32.h"
#include "SharedUtil.TroubleHelp.h"

#include <shellapi.h>

#include <cstdlib>
#include <string>

using namespace SharedUtil;

namespace
{
constexpr int PROBE_BAD_ARGUMENTS = 2;
constexpr int OFFER_ARG_COUNT = 6;
constexpr int HEX_DIGIT_BITS = 4;
constexpr int WINDOW_CLASS_MAX_UNITS = 64;

int HexDigitValue(wchar_t wcDigit)
{
    if (wcDigit >= L'0' && wcDigit <= L'9')
        return wcDigit - L'0';
    if (wcDigit >= L'A' && wcDigit <= L'F')
        return wcDigit - L'A' + 10;
    return -1;
}

bool DecodeHexArgument(const std::wstring& wstrArgument, SString& strOut)
{
    if (wstrArgument.empty() || wstrArgument[0] != L'x' || wstrArgument.length() % 2 != 1)
        return false;
    strOut.clear();
    for (std::size_t uiPos = 1; uiPos + 1 < wstrArgument.length(); uiPos += 2)
    {
        const int iHigh = HexDigitValue(wstrArgument[uiPos]);
        const int iLow = HexDigitValue(wstrArgument[uiPos + 1]);
        if (iHigh < 0 || iLow < 0)
            return false;
        strOut += static_cast<char>((iHigh << HEX_DIGIT_BITS) | iLow);
    }
    return true;
}

BOOL CALLBACK FindIconControl(HWND hChild, LPARAM lParam)
{
    if ((GetWindowLongW(hChild, GWL_STYLE) & SS_TYPEMASK) != SS_ICON)
        return TRUE;
    *reinterpret_cast<HWND*>(lParam) = hChild;
    return FALSE;
}

// Which system icon a message box shows; shared icons compare by handle here.
UINT_PTR GetShownIconBits(HWND hBox)
{
    HWND hIconControl = nullptr;
    EnumChildWindows(hBox, FindIconControl, reinterpret_cast<LPARAM>(&hIconControl));
    if (!hIconControl)
        return 0;
    const HICON hShown = reinterpret_cast<HICON>(SendMessageW(hIconControl, STM_GETICON, 0, 0));
    const struct
    {
        LPCWSTR szIcon;
        UINT_PTR uiBits;
    } icons[] = {{IDI_HAND, MB_ICONHAND},
                 {IDI_QUESTION, MB_ICONQUESTION},
                 {IDI_EXCLAMATION, MB_ICONEXCLAMATION},
                 {IDI_ASTERISK, MB_ICONASTERISK}};
    for (const auto& icon : icons)
    {
        if (hShown && hShown == LoadIconW(nullptr, icon.szIcon))
            return icon.uiBits;
    }
    return PROBE_ICON_UNKNOWN;
}

// A message box has its icon once it has handled WM_INITDIALOG.
LRESULT CALLBACK TagMessageBoxes(int iCode, WPARAM wParam, LPARAM lParam)
{
    const auto* pMessage = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (iCode == HC_ACTION && pMessage->message == WM_INITDIALOG)
    {
        wchar_t wszClass[WINDOW_CLASS_MAX_UNITS] = {};
        GetClassNameW(pMessage->hwnd, wszClass, WINDOW_CLASS_MAX_UNITS);
        if (std::wstring(wszClass) == L"#32770")
            SetPropW(pMessage->hwnd, PROBE_ICON_PROPERTY, reinterpret_cast<HANDLE>(GetShownIconBits(pMessage->hwnd)));
    }
    return CallNextHookEx(nullptr, iCode, wParam, lParam);
}
} // namespace

int main()
{
    int iArgCount = 0;
    LPWSTR* pArgs = CommandLineToArgvW(GetCommandLineW(), &iArgCount);
    const CScopedLocalMemory hArgs(pArgs);
    if (!pArgs || iArgCount < 2)
        return PROBE_BAD_ARGUMENTS;
    const std::wstring wstrMode = pArgs[1];

    SetWindowsHookExW(WH_CALLWNDPROCRET, TagMessageBoxes, nullptr, GetCurrentThreadId());

    if (wstrMode == L"process")
        return PROBE_PROCESSED + (ProcessPendingTroubleHelp() ? 1 : 0);

    SString strType;
    SString strMessage;
    SString strErrorCode;
    const bool bArgumentsValid = wstrMode == L"offer" && iArgCount == OFFER_ARG_COUNT &&
                                 DecodeHexArgument(pArgs[2], strType) && DecodeHexArgument(pArgs[4], strMessage) &&
                                 DecodeHexArgument(pArgs[5], strErrorCode);
    const int iFlags = bArgumentsValid ? static_cast<int>(std::wcstol(pArgs[3], nullptr, 0)) : 0;
    if (!bArgumentsValid)
        return PROBE_BAD_ARGUMENTS;

    OfferTroubleHelp(strType, iFlags, strMessage, strErrorCode);
    return PROBE_OFFER_RETURNED;
}
