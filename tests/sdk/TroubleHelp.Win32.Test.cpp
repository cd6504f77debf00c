#include <gtest/gtest.h>

#include "SharedUtil.Encoding.h"
#include "SharedUtil.Registry.h"
#include "SharedUtil.ScopedHandle.Win32.h"
#include "SharedUtil.TroubleHelp.Win32.h"
#include "sdk/helpers/TroubleHelpProbe.h"
#include "support/Desktop.Win32.h"
#include "support/FailingAllocation.h"
#include "support/ProductSettings.Win32.h"
#include "support/Win32TestSupport.Win32.h"

#include <optional>
#include <string>
#include <vector>

using namespace SharedUtil;

namespace
{
constexpr DWORD BOX_TIMEOUT_MS = 30000;
constexpr DWORD EXIT_TIMEOUT_MS = 30000;
constexpr DWORD RECORD_TIMEOUT_MS = 30000;
// How long nothing must happen for "nothing is opened" to count.
constexpr DWORD QUIET_PERIOD_MS = 3000;
constexpr uint32_t TROUBLE_LOG_ID = 3200;
constexpr DWORD TERMINATED_EXIT_CODE = 1;
constexpr std::size_t TROUBLE_RECORD_READ_UNITS = 256;

constexpr const char* QUESTION = "Do you want to see some on-line help about this problem ?";
constexpr const char* NOTICE_TEXT = "Your browser will now display a web page with some help infomation.\n\n"
                                    "(If the page fails to load, paste (CTRL-V) the URL into your web browser)";
constexpr const char* NOTICE_CAPTION = "Qel: Vendaro";
constexpr const char* EMPTY_CODE_CAPTION = "Qel: Vendaro    (CTRL+C to copy)";
constexpr const char* SERIAL = "S-1";
constexpr const char* VERSION_EXT = "1.7.0-test";
constexpr const wchar_t* CLIPBOARD_MARKER = L"clipboard before the flow";

// The first box's icon bits are the platform's own.
static_assert(TROUBLE_ICON_MASK == (MB_ICONHAND | MB_ICONQUESTION | MB_ICONEXCLAMATION | MB_ICONASTERISK));

enum class EButtons
{
    YesNo,
    Ok
};

// A message box as a person sees it, plus what the probe recorded about its icon.
struct SShownBox : TestSupport::SMessageBox
{
    bool bTopmost = false;
    UINT_PTR uiIconBits = 0;
};

std::wstring HexArgument(const SString& strText)
{
    return L"x" + Utf8ToWide(BytesToHex(strText.data(), static_cast<uint32_t>(strText.size())));
}

// The trouble-help probe running in a child process.
class CProbe
{
public:
    CProbe(const CProbe&) = delete;
    CProbe& operator=(const CProbe&) = delete;

    static std::wstring OfferArguments(const SString& strType, int iFlags, const SString& strMessage,
                                       const SString& strErrorCode)
    {
        return L"offer " + HexArgument(strType) + L" " + std::to_wstring(iFlags) + L" " + HexArgument(strMessage) +
               L" " + HexArgument(strErrorCode);
    }

    explicit CProbe(const std::wstring& wstrArguments)
        : m_bStarted(m_Process.Start(TestSupport::GetHelperPath(TROUBLE_HELP_PROBE_FILE_NAME), wstrArguments))
    {
    }

    bool IsStarted() const { return m_bStarted; }
    DWORD GetProcessId() const { return m_Process.GetProcessId(); }

    // The next message box, or nothing when the probe ended without one.
    std::optional<SShownBox> WaitForBox()
    {
        const ULONGLONG ullDeadline = GetTickCount64() + BOX_TIMEOUT_MS;
        while (GetTickCount64() < ullDeadline)
        {
            const bool bEnded = m_Process.HasEnded();
            const TestSupport::SMessageBox found =
                TestSupport::WaitForMessageBox(GetProcessId(), TestSupport::POLL_INTERVAL_MS);
            if (found.hWnd && found.hWnd != m_hAnswered)
                return Describe(found);
            if (bEnded)
                return std::nullopt;
        }
        return std::nullopt;
    }

    // Presses the button and waits for the box to go away.
    void Answer(const SShownBox& box, int iButtonId)
    {
        TestSupport::PressMessageBoxButton(box, iButtonId);
        m_hAnswered = box.hWnd;
        const ULONGLONG ullDeadline = GetTickCount64() + BOX_TIMEOUT_MS;
        while (IsWindow(box.hWnd) && GetTickCount64() < ullDeadline)
            Sleep(TestSupport::POLL_INTERVAL_MS);
    }

    std::optional<DWORD> WaitForExit() { return m_Process.WaitForExit(EXIT_TIMEOUT_MS); }

    // The messages of the report-log lines with this id that the probe wrote.
    std::vector<SString> GetLogMessages(uint32_t uiWantedId) const
    {
        std::vector<SString> messages;
        for (const SString& strLine : TestSupport::ReadReportLogLinesOf(GetProcessId()))
        {
            uint32_t uiId = 0;
            SString strMessage;
            if (TestSupport::SplitReportLogLine(strLine, uiId, strMessage) && uiId == uiWantedId)
                messages.push_back(strMessage);
        }
        return messages;
    }

private:
    static SShownBox Describe(const TestSupport::SMessageBox& found)
    {
        SShownBox box;
        static_cast<TestSupport::SMessageBox&>(box) = found;
        box.bTopmost = (GetWindowLongW(found.hWnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
        box.uiIconBits = reinterpret_cast<UINT_PTR>(GetPropW(found.hWnd, PROBE_ICON_PROPERTY));
        return box;
    }

    TestSupport::CChildProcess m_Process;
    bool m_bStarted = false;
    HWND m_hAnswered = nullptr;
};

void ExpectBox(const SShownBox& box, const SString& strCaption, const SString& strText, EButtons buttons,
               UINT_PTR uiIconBits)
{
    EXPECT_EQ(strCaption, box.strCaption);
    EXPECT_EQ(strText, box.strText);
    EXPECT_EQ(buttons == EButtons::YesNo, box.bHasYes);
    EXPECT_EQ(buttons == EButtons::YesNo, box.bHasNo);
    EXPECT_EQ(buttons == EButtons::Ok, box.bHasOk);
    EXPECT_TRUE(box.bTopmost);
    EXPECT_EQ(uiIconBits, box.uiIconBits);
}

class TroubleHelpFlow : public testing::Test
{
protected:
    void SetUp() override
    {
        m_Settings.DeleteAll();
        SetSetting(TROUBLE_SERIAL_SETTING, SERIAL);
        SetSetting(TROUBLE_VERSION_EXT_SETTING, VERSION_EXT);
        ASSERT_TRUE(TestSupport::PutTextOnClipboard(CLIPBOARD_MARKER));
    }

    static SString DefaultUrlFor(const SString& strType)
    {
        return SString("https://help.valdrenne.net/vd/trouble/?v=") + VERSION_EXT + "&id=" + SERIAL + "&tr=" + strType;
    }

    // The notice, then the URL on the clipboard and in the browser.
    void ExpectHelpPageOpened(CProbe& probe, const SString& strUrl)
    {
        const std::optional<SShownBox> notice = probe.WaitForBox();
        ASSERT_TRUE(notice.has_value());
        ExpectBox(*notice, NOTICE_CAPTION, NOTICE_TEXT, EButtons::Ok, MB_ICONASTERISK);
        probe.Answer(*notice, IDOK);

        // Started by the URL handler, not by the probe itself.
        const std::optional<TestSupport::SUrlRecord> record = m_Browser.WaitForRecord(RECORD_TIMEOUT_MS);
        ASSERT_TRUE(record.has_value());
        EXPECT_EQ(strUrl, record->strUrl);
        EXPECT_NE(0u, record->dwParentId);
        EXPECT_NE(probe.GetProcessId(), record->dwParentId);
        const TestSupport::SClipboardText clipboard = TestSupport::ReadClipboardText();
        EXPECT_EQ(Utf8ToWide(strUrl), TestSupport::UnitsToWide(clipboard.units));
    }

    void ExpectNothingOpened()
    {
        EXPECT_FALSE(m_Browser.WaitForRecord(QUIET_PERIOD_MS).has_value());
        const TestSupport::SClipboardText clipboard = TestSupport::ReadClipboardText();
        EXPECT_EQ(CLIPBOARD_MARKER, TestSupport::UnitsToWide(clipboard.units));
    }

    TestSupport::CUrlRecorderAsBrowser m_Browser;

private:
    TestSupport::CProductSettingsGuard m_Settings{
        {TROUBLE_RECORD_SETTING, TROUBLE_URL_SETTING, TROUBLE_VERSION_EXT_SETTING, TROUBLE_SERIAL_SETTING}};
};
} // namespace

TEST_F(TroubleHelpFlow, YesToTheQuestionOpensTheHelpPage)
{
    const SString strType = "loader-dll-missing";
    const SString strMessage = "Loader = gone & lost #1\r\nline two: \xC3\xA9\xE2\x82\xAC \"quoted\"";
    CProbe probe(CProbe::OfferArguments(strType, TROUBLE_ASK_FIRST, strMessage, ""));
    ASSERT_TRUE(probe.IsStarted());

    const std::optional<SShownBox> question = probe.WaitForBox();
    ASSERT_TRUE(question.has_value());
    ExpectBox(*question, EMPTY_CODE_CAPTION, strMessage + "\n\n\n" + QUESTION, EButtons::YesNo, MB_ICONEXCLAMATION);
    // Consumed before the first box went up.
    EXPECT_EQ("", GetSettingInWriteView(TROUBLE_RECORD_SETTING));
    RecordProperty("QuestionScreenshot", TestSupport::CaptureScreen(L"trouble-question.png") ? "taken" : "none");
    probe.Answer(*question, IDYES);

    ExpectHelpPageOpened(probe, DefaultUrlFor(strType));
    EXPECT_EQ(std::optional<DWORD>(PROBE_OFFER_RETURNED), probe.WaitForExit());
    EXPECT_EQ(std::vector<SString>{"Trouble loader-dll-missing"}, probe.GetLogMessages(TROUBLE_LOG_ID));
    EXPECT_EQ("", GetSettingInWriteView(TROUBLE_RECORD_SETTING));
}

TEST_F(TroubleHelpFlow, NoToTheQuestionOpensNothing)
{
    CProbe probe(CProbe::OfferArguments("loader-dll-not-loadable", TROUBLE_ASK_FIRST, "", "126"));
    ASSERT_TRUE(probe.IsStarted());

    const std::optional<SShownBox> question = probe.WaitForBox();
    ASSERT_TRUE(question.has_value());
    // Without a message the question stands alone.
    ExpectBox(*question, "Qel: Vendaro 126   (CTRL+C to copy)", QUESTION, EButtons::YesNo, MB_ICONEXCLAMATION);
    probe.Answer(*question, IDNO);

    EXPECT_FALSE(probe.WaitForBox().has_value());
    EXPECT_EQ(std::optional<DWORD>(PROBE_OFFER_RETURNED), probe.WaitForExit());
    ExpectNothingOpened();
    EXPECT_EQ("", GetSettingInWriteView(TROUBLE_RECORD_SETTING));
}

TEST_F(TroubleHelpFlow, ExitFirstEndsTheProcessAndKeepsTheRecord)
{
    CProbe probe(CProbe::OfferArguments("a;b;c", TROUBLE_EXIT_FIRST | TROUBLE_ASK_FIRST, "m=x", "E1"));
    ASSERT_TRUE(probe.IsStarted());

    EXPECT_FALSE(probe.WaitForBox().has_value());
    EXPECT_EQ(std::optional<DWORD>(TERMINATED_EXIT_CODE), probe.WaitForExit());
    // The whole type is logged; the record holds the part before the first ";".
    EXPECT_EQ(std::vector<SString>{"Trouble a;b;c"}, probe.GetLogMessages(TROUBLE_LOG_ID));
    EXPECT_EQ("ecode=E1&flags=3&message=m#3Dx&type=a", GetSettingInWriteView(TROUBLE_RECORD_SETTING));
    ExpectNothingOpened();
}

TEST_F(TroubleHelpFlow, ExitIfShownEndsTheProcessOnceTheBrowserIsStarted)
{
    const SString strType = "loader-dll-missing";
    CProbe probe(CProbe::OfferArguments(strType, TROUBLE_EXIT_IF_SHOWN | TROUBLE_ASK_FIRST, "m", ""));
    ASSERT_TRUE(probe.IsStarted());

    const std::optional<SShownBox> question = probe.WaitForBox();
    ASSERT_TRUE(question.has_value());
    probe.Answer(*question, IDYES);
    ExpectHelpPageOpened(probe, DefaultUrlFor(strType));
    EXPECT_EQ(std::optional<DWORD>(TERMINATED_EXIT_CODE), probe.WaitForExit());
}

TEST_F(TroubleHelpFlow, ExitIfNotShownEndsTheProcessAfterNo)
{
    CProbe probe(CProbe::OfferArguments("t", TROUBLE_EXIT_IF_NOT_SHOWN | TROUBLE_ASK_FIRST, "m", ""));
    ASSERT_TRUE(probe.IsStarted());

    const std::optional<SShownBox> question = probe.WaitForBox();
    ASSERT_TRUE(question.has_value());
    probe.Answer(*question, IDNO);
    EXPECT_EQ(std::optional<DWORD>(TERMINATED_EXIT_CODE), probe.WaitForExit());
    ExpectNothingOpened();
}

TEST_F(TroubleHelpFlow, MessageOnlyShowsTheMessageAndCountsAsHandled)
{
    CProbe probe(CProbe::OfferArguments("t", TROUBLE_MESSAGE_ONLY | TROUBLE_EXIT_IF_SHOWN, "just so you know", "E5"));
    ASSERT_TRUE(probe.IsStarted());

    const std::optional<SShownBox> message = probe.WaitForBox();
    ASSERT_TRUE(message.has_value());
    ExpectBox(*message, "Qel: Vendaro E5   (CTRL+C to copy)", "just so you know", EButtons::Ok, MB_ICONEXCLAMATION);
    probe.Answer(*message, IDOK);
    // Handled, so the exit-if-shown flag ends the process.
    EXPECT_EQ(std::optional<DWORD>(TERMINATED_EXIT_CODE), probe.WaitForExit());
    ExpectNothingOpened();
}

TEST_F(TroubleHelpFlow, MessageOnlyWithoutMessageShowsNothing)
{
    CProbe probe(CProbe::OfferArguments("t", TROUBLE_MESSAGE_ONLY | TROUBLE_EXIT_IF_SHOWN, "", ""));
    ASSERT_TRUE(probe.IsStarted());
    EXPECT_FALSE(probe.WaitForBox().has_value());
    EXPECT_EQ(std::optional<DWORD>(TERMINATED_EXIT_CODE), probe.WaitForExit());
    ExpectNothingOpened();
}

TEST_F(TroubleHelpFlow, PlainMessageIsFollowedByTheBrowser)
{
    const SString strType = "plain";
    CProbe probe(CProbe::OfferArguments(strType, 0, "first a message", "E9"));
    ASSERT_TRUE(probe.IsStarted());

    const std::optional<SShownBox> message = probe.WaitForBox();
    ASSERT_TRUE(message.has_value());
    ExpectBox(*message, "Qel: Vendaro E9   (CTRL+C to copy)", "first a message", EButtons::Ok, MB_ICONEXCLAMATION);
    probe.Answer(*message, IDOK);
    ExpectHelpPageOpened(probe, DefaultUrlFor(strType));
    EXPECT_EQ(std::optional<DWORD>(PROBE_OFFER_RETURNED), probe.WaitForExit());
}

TEST_F(TroubleHelpFlow, EmptyMessageWithoutQuestionGoesStraightToTheNotice)
{
    const SString strType = "silent";
    CProbe probe(CProbe::OfferArguments(strType, 0, "", ""));
    ASSERT_TRUE(probe.IsStarted());
    ExpectHelpPageOpened(probe, DefaultUrlFor(strType));
    EXPECT_EQ(std::optional<DWORD>(PROBE_OFFER_RETURNED), probe.WaitForExit());
}

TEST_F(TroubleHelpFlow, IconBitsAndUrlSettingsShapeTheFlow)
{
    SetSetting(TROUBLE_URL_SETTING, "https://help.valdrenne.invalid/x%y?t=_TROUBLE_&s=_ID_&v=_VERSION_");
    SetSetting(TROUBLE_SERIAL_SETTING, "s_TROUBLE_");
    SetSetting(TROUBLE_VERSION_EXT_SETTING, "1%2");
    // The message-only flag has no effect together with the question.
    CProbe probe(CProbe::OfferArguments("a;b;c", MB_ICONHAND | TROUBLE_ASK_FIRST | TROUBLE_MESSAGE_ONLY, "m", ""));
    ASSERT_TRUE(probe.IsStarted());

    const std::optional<SShownBox> question = probe.WaitForBox();
    ASSERT_TRUE(question.has_value());
    ExpectBox(*question, EMPTY_CODE_CAPTION, SString("m\n\n\n") + QUESTION, EButtons::YesNo, MB_ICONHAND);
    probe.Answer(*question, IDYES);
    // The notice keeps its own icon.
    ExpectHelpPageOpened(probe, "https://help.valdrenne.invalid/x_y?t=a&s=sa&v=1%2");
    EXPECT_EQ(std::optional<DWORD>(PROBE_OFFER_RETURNED), probe.WaitForExit());
    EXPECT_EQ(std::vector<SString>{"Trouble a;b;c"}, probe.GetLogMessages(TROUBLE_LOG_ID));
}

// A help URL that is no web page would be run by the shell; one grown huge by
// its markers once ran the process out of memory. Either is refused after
// Yes with a line that says why, before the notice that promises a page, and
// the flow returns as one that was not handled.
TEST_F(TroubleHelpFlow, HelpUrlThatIsNoWebPageOrTooLongIsRefusedWithALine)
{
    for (const TestSupport::SRefusedHelpUrl& c : TestSupport::MakeRefusedHelpUrls())
    {
        SCOPED_TRACE(c.szCase);
        SetSetting(TROUBLE_URL_SETTING, c.strUrl);
        SetSetting(TROUBLE_SERIAL_SETTING, c.strSerial);
        CProbe probe(
            CProbe::OfferArguments("loader-dll-not-loadable", TROUBLE_ASK_FIRST | TROUBLE_EXIT_IF_SHOWN, "m", ""));
        ASSERT_TRUE(probe.IsStarted());
        const std::optional<SShownBox> question = probe.WaitForBox();
        ASSERT_TRUE(question.has_value());
        probe.Answer(*question, IDYES);

        EXPECT_FALSE(probe.WaitForBox().has_value());
        // Not handled: the flag that ends a handled flow does not.
        EXPECT_EQ(std::optional<DWORD>(PROBE_OFFER_RETURNED), probe.WaitForExit());
        EXPECT_EQ(std::vector<SString>{c.strLine}, probe.GetLogMessages(REPORT_TROUBLE_URL_REFUSED));
        ExpectNothingOpened();
    }
}

// Where memory runs out on the way to the URL, the help is not handled, as
// any other failure: nothing is shown or opened, and nothing escapes.
TEST_F(TroubleHelpFlow, MemoryRunningOutFailsTheFlow)
{
    constexpr std::size_t URL_BYTES = 3000; // its text asks for one byte more, an odd size no wide text asks for
    const SString strUrl = "https://help.valdrenne.invalid/" + SString(std::string(URL_BYTES - 31, 'u'));
    ASSERT_EQ(URL_BYTES, strUrl.size());
    SetSetting(TROUBLE_URL_SETTING, strUrl);
    SetSetting(TROUBLE_RECORD_SETTING, "flags=0&type=t");
    {
        TestSupport::CScopedFailingAllocation failing(URL_BYTES + 1);
        EXPECT_FALSE(ProcessPendingTroubleHelp());
        EXPECT_TRUE(failing.HasFailed());
    }
    ExpectNothingOpened();
}

TEST_F(TroubleHelpFlow, ProcessingReadsTheStoredRecord)
{
    // Other components write the flags as numbers: 18 asks first, with the stop icon.
    SetSetting(TROUBLE_RECORD_SETTING, "type=hand-made&flags= 18x&message=from the #3D store&ecode=E#26");
    CProbe probe(L"process");
    ASSERT_TRUE(probe.IsStarted());

    const std::optional<SShownBox> question = probe.WaitForBox();
    ASSERT_TRUE(question.has_value());
    ExpectBox(*question, "Qel: Vendaro E&   (CTRL+C to copy)", SString("from the = store\n\n\n") + QUESTION,
              EButtons::YesNo, MB_ICONHAND);
    EXPECT_EQ("", GetSettingInWriteView(TROUBLE_RECORD_SETTING));
    probe.Answer(*question, IDNO);
    EXPECT_EQ(std::optional<DWORD>(PROBE_PROCESSED), probe.WaitForExit());
}

TEST_F(TroubleHelpFlow, RecordWithoutTypeIsLeftAlone)
{
    SetSetting(TROUBLE_RECORD_SETTING, "flags=2&message=m");
    CProbe probe(L"process");
    ASSERT_TRUE(probe.IsStarted());
    EXPECT_FALSE(probe.WaitForBox().has_value());
    EXPECT_EQ(std::optional<DWORD>(PROBE_PROCESSED), probe.WaitForExit());
    EXPECT_EQ("flags=2&message=m", GetSettingInWriteView(TROUBLE_RECORD_SETTING));
}

namespace
{
#ifdef _WIN64
constexpr REGSAM OTHER_VIEW = KEY_WOW64_32KEY;
#else
constexpr REGSAM OTHER_VIEW = KEY_WOW64_64KEY;
#endif

bool SetRecordInOtherView(DWORD dwType, const std::wstring_view& wsvBytes)
{
    return TestSupport::SetRawProductSetting(OTHER_VIEW, L"pending-browse-to-solution", dwType, wsvBytes.data(),
                                             static_cast<DWORD>(wsvBytes.size() * sizeof(wchar_t)));
}

SString ReadRecordInOtherView()
{
    HKEY hKey = nullptr;
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, TestSupport::PRODUCT_SETTINGS_KEY, 0, KEY_QUERY_VALUE | OTHER_VIEW, &hKey);
    const CScopedRegistryKey hSettings(hKey);
    std::wstring wstrValue(TROUBLE_RECORD_READ_UNITS, L'\0');
    DWORD dwBytes = static_cast<DWORD>(wstrValue.size() * sizeof(wchar_t));
    if (!hSettings.IsValid() || RegQueryValueExW(hSettings.Get(), L"pending-browse-to-solution", nullptr, nullptr,
                                                 reinterpret_cast<BYTE*>(wstrValue.data()), &dwBytes) != ERROR_SUCCESS)
        return "<none>";
    wstrValue.resize(dwBytes / sizeof(wchar_t));
    return WideToUtf8(wstrValue);
}
} // namespace

// A record of the same name in the other registry view (the 64-bit one, for
// the shipping 32-bit launcher on a 64-bit system) is another run's: the flow
// shows and consumes its own, and leaves that one alone.
TEST_F(TroubleHelpFlow, RecordInTheOtherViewIsNeitherShownNorCleared)
{
    const std::wstring_view wsvStale = {L"ecode=OLD&flags=2&message=stale&type=stale", 43};
    const std::wstring_view wsvBinary = {L"\x0102\x0304", 2};
    struct SCase
    {
        const char* szWhat;
        DWORD dwType;
        std::wstring_view wsvBytes;
    };
    const SCase cases[] = {
        {"stale text record", REG_SZ, wsvStale},
        {"binary value", REG_BINARY, wsvBinary},
    };
    for (const SCase& testCase : cases)
    {
        SCOPED_TRACE(testCase.szWhat);
        ASSERT_TRUE(SetRecordInOtherView(testCase.dwType, testCase.wsvBytes));
        const SString strOtherBefore = ReadRecordInOtherView();

        CProbe probe(CProbe::OfferArguments("loader-dll-not-loadable", TROUBLE_ASK_FIRST, "the real failure", "126"));
        ASSERT_TRUE(probe.IsStarted());
        const std::optional<SShownBox> question = probe.WaitForBox();
        ASSERT_TRUE(question.has_value());
        ExpectBox(*question, "Qel: Vendaro 126   (CTRL+C to copy)", SString("the real failure\n\n\n") + QUESTION,
                  EButtons::YesNo, MB_ICONEXCLAMATION);
        EXPECT_EQ("", GetSettingInWriteView(TROUBLE_RECORD_SETTING));
        probe.Answer(*question, IDNO);
        EXPECT_EQ(std::optional<DWORD>(PROBE_OFFER_RETURNED), probe.WaitForExit());

        EXPECT_EQ("", GetSettingInWriteView(TROUBLE_RECORD_SETTING));
        EXPECT_EQ(strOtherBefore, ReadRecordInOtherView());
    }
}
