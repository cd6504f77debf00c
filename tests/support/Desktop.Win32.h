#pragma once

// What the clipboard, shell and trouble-help tests share: the clipboard read
// back as a person's paste would see it, a stand-in browser registered as the
// https handler, and screenshots.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "SString.h"
#include "SharedUtil.Windows.h"
#include "support/TempFolder.h"
#include "support/Win32TestSupport.Win32.h"

namespace TestSupport
{
// What CF_UNICODETEXT holds: its units up to the first zero and the size of
// the memory block, as a program pasting it would see them.
struct SClipboardText
{
    bool bOpened = false;
    bool bPresent = false;
    std::vector<uint16_t> units;
    std::vector<uint8_t> blockBytes;
    std::size_t uiBlockSize = 0;
    int iFormatCount = 0;
    std::vector<UINT> formats;
};

SClipboardText ReadClipboardText();

// Whether the clipboard holds Unicode text and nothing else but the formats
// the system derives from it on its own.
bool HoldsOnlyUnicodeText(const SClipboardText& clipboard);

std::wstring UnitsToWide(const std::vector<uint16_t>& units);

// Places a text with the plain Win32 calls, independent of the code under test.
bool PutTextOnClipboard(const std::wstring& wstrText);

// The address the stand-in browser received and the process that started it.
struct SUrlRecord
{
    DWORD dwParentId = 0;
    std::string strUrl;
};

// Registers the URL recorder as the https protocol handler in both registry
// views for the lifetime of the object, and gives it a fresh record file.
class CUrlRecorderAsBrowser
{
public:
    CUrlRecorderAsBrowser();
    ~CUrlRecorderAsBrowser();
    CUrlRecorderAsBrowser(const CUrlRecorderAsBrowser&) = delete;
    CUrlRecorderAsBrowser& operator=(const CUrlRecorderAsBrowser&) = delete;

    // What the recorder wrote, once it has.
    std::optional<SUrlRecord> WaitForRecord(DWORD dwTimeoutMs) const;

private:
    struct SView
    {
        REGSAM samView;
        bool bHadValue = false;
        DWORD dwPreviousType = REG_SZ;
        std::vector<BYTE> previous;
    };
    SView m_Views[2] = {{KEY_WOW64_64KEY, false, REG_SZ, {}}, {KEY_WOW64_32KEY, false, REG_SZ, {}}};
    CTempFolder m_RecordFolder;
    std::wstring m_wstrRecordFile;
    CScopedEnvironment m_RecordVariable;
};

// A help URL setting that the trouble-help flow must refuse, and the message
// of the line it writes for it.
struct SRefusedHelpUrl
{
    const char* szCase;
    SString strUrl;
    SString strSerial;
    SString strLine;
};

// A file: URL of the stand-in browser (which records it when it runs), its
// plain path, and a URL that its serial would make 40 GB long.
std::vector<SRefusedHelpUrl> MakeRefusedHelpUrls();

// Grabs the whole screen into <build>/artifacts/<file name> through a Unix
// screen grabber that Wine starts. Returns false, and leaves it at that, when
// there is no grabber or no Unix side: a missing screenshot fails nothing.
bool CaptureScreen(const wchar_t* szFileName);
} // namespace TestSupport
