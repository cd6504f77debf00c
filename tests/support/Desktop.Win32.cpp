#include "support/Desktop.Win32.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "SharedUtil.Encoding.h"
#include "SharedUtil.ScopedHandle.Win32.h"
#include "support/HostLink.Win32.h"
#include "support/Win32TestSupport.Win32.h"

namespace TestSupport
{
namespace
{
constexpr DWORD ENVIRONMENT_VALUE_MAX_UNITS = 32768;
constexpr DWORD REGISTRY_TEXT_MAX_BYTES = 65536;
constexpr DWORD SCREENSHOT_TIMEOUT_MS = 20000;
constexpr DWORD SCREENSHOT_SETTLE_MS = 300;
constexpr const wchar_t* URL_RECORDER_FILE_NAME = L"url_recorder.exe";
constexpr const wchar_t* URL_RECORD_FILE_NAME = L"url-record.txt";
constexpr const wchar_t* URL_RECORD_VARIABLE = L"VALDRENNE_URL_RECORD";
constexpr const wchar_t* HTTPS_COMMAND_KEY = L"Software\\Classes\\https\\shell\\open\\command";
// Overrides the screen grabber; by default ImageMagick's, through Wine's Z: drive.
constexpr const wchar_t* SCREEN_GRABBER_VARIABLE = L"VALDRENNE_SCREEN_GRABBER";
constexpr const wchar_t* DEFAULT_SCREEN_GRABBER = L"Z:\\usr\\bin\\import";

std::optional<std::wstring> GetEnvironmentText(const wchar_t* szName)
{
    std::vector<wchar_t> buffer(ENVIRONMENT_VALUE_MAX_UNITS);
    const DWORD dwLength = GetEnvironmentVariableW(szName, buffer.data(), ENVIRONMENT_VALUE_MAX_UNITS);
    if (dwLength == 0 || dwLength >= ENVIRONMENT_VALUE_MAX_UNITS)
        return std::nullopt;
    return std::wstring(buffer.data(), dwLength);
}

std::optional<SUrlRecord> ParseUrlRecord(const std::string& strText)
{
    constexpr const char* PARENT_PREFIX = "parent-pid=";
    constexpr const char* URL_PREFIX = "\nurl=";
    const std::size_t uiUrlStart = strText.find(URL_PREFIX);
    if (strText.rfind(PARENT_PREFIX, 0) != 0 || uiUrlStart == std::string::npos || strText.back() != '\n')
        return std::nullopt;
    SUrlRecord record;
    record.dwParentId = static_cast<DWORD>(std::stoul(strText.substr(std::strlen(PARENT_PREFIX))));
    const std::size_t uiUrlBegin = uiUrlStart + std::strlen(URL_PREFIX);
    record.strUrl = strText.substr(uiUrlBegin, strText.size() - 1 - uiUrlBegin);
    return record;
}
} // namespace

SClipboardText ReadClipboardText()
{
    SClipboardText result;
    const SharedUtil::CScopedOpenClipboard clipboard(OpenClipboard(nullptr) != FALSE);
    if (!clipboard)
        return result;
    result.bOpened = true;
    result.iFormatCount = CountClipboardFormats();
    for (UINT uiFormat = EnumClipboardFormats(0); uiFormat != 0; uiFormat = EnumClipboardFormats(uiFormat))
        result.formats.push_back(uiFormat);
    if (HANDLE hData = GetClipboardData(CF_UNICODETEXT))
    {
        result.uiBlockSize = GlobalSize(hData);
        if (const auto* pBytes = static_cast<const uint8_t*>(GlobalLock(hData)))
        {
            result.bPresent = true;
            result.blockBytes.assign(pBytes, pBytes + result.uiBlockSize);
            const auto* pUnits = reinterpret_cast<const uint16_t*>(pBytes);
            for (std::size_t uiIndex = 0; uiIndex < result.uiBlockSize / sizeof(uint16_t) && pUnits[uiIndex]; ++uiIndex)
                result.units.push_back(pUnits[uiIndex]);
            GlobalUnlock(hData);
        }
    }
    return result;
}

bool HoldsOnlyUnicodeText(const SClipboardText& clipboard)
{
    bool bUnicode = false;
    for (UINT uiFormat : clipboard.formats)
    {
        if (uiFormat == CF_UNICODETEXT)
            bUnicode = true;
        else if (uiFormat != CF_TEXT && uiFormat != CF_OEMTEXT && uiFormat != CF_LOCALE)
            return false;
    }
    return bUnicode;
}

std::wstring UnitsToWide(const std::vector<uint16_t>& units)
{
    return std::wstring(units.begin(), units.end());
}

bool PutTextOnClipboard(const std::wstring& wstrText)
{
    const SharedUtil::CScopedOpenClipboard clipboard(OpenClipboard(nullptr) != FALSE);
    if (!clipboard || !EmptyClipboard())
        return false;
    const std::size_t uiBytes = (wstrText.length() + 1) * sizeof(wchar_t);
    SharedUtil::CScopedGlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, uiBytes));
    if (!memory)
        return false;
    std::memcpy(GlobalLock(memory.Get()), wstrText.c_str(), uiBytes);
    GlobalUnlock(memory.Get());
    if (!SetClipboardData(CF_UNICODETEXT, memory.Get()))
        return false;
    static_cast<void>(memory.Take()); // the clipboard owns the block from now on
    return true;
}

CUrlRecorderAsBrowser::CUrlRecorderAsBrowser()
    : m_wstrRecordFile(m_RecordFolder.GetPath() + L"\\" + URL_RECORD_FILE_NAME),
      m_RecordVariable(URL_RECORD_VARIABLE, m_wstrRecordFile)
{
    const std::wstring wstrCommand = L"\"" + GetHelperPath(URL_RECORDER_FILE_NAME) + L"\" \"%1\"";
    for (SView& view : m_Views)
    {
        HKEY hKey = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, HTTPS_COMMAND_KEY, 0, nullptr, 0,
                            KEY_QUERY_VALUE | KEY_SET_VALUE | view.samView, nullptr, &hKey, nullptr) != ERROR_SUCCESS)
            continue;
        const SharedUtil::CScopedRegistryKey key(hKey);
        std::vector<BYTE> previous(REGISTRY_TEXT_MAX_BYTES);
        DWORD dwSize = REGISTRY_TEXT_MAX_BYTES;
        view.bHadValue = RegQueryValueExW(key.Get(), nullptr, nullptr, &view.dwPreviousType, previous.data(),
                                          &dwSize) == ERROR_SUCCESS;
        if (view.bHadValue)
            view.previous.assign(previous.begin(), previous.begin() + dwSize);
        RegSetValueExW(key.Get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(wstrCommand.c_str()),
                       static_cast<DWORD>((wstrCommand.length() + 1) * sizeof(wchar_t)));
    }
}

CUrlRecorderAsBrowser::~CUrlRecorderAsBrowser()
{
    for (const SView& view : m_Views)
    {
        HKEY hKey = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, HTTPS_COMMAND_KEY, 0, KEY_SET_VALUE | view.samView, &hKey) !=
            ERROR_SUCCESS)
            continue;
        const SharedUtil::CScopedRegistryKey key(hKey);
        if (view.bHadValue)
            RegSetValueExW(key.Get(), nullptr, 0, view.dwPreviousType, view.previous.data(),
                           static_cast<DWORD>(view.previous.size()));
        else
            RegDeleteValueW(key.Get(), nullptr);
    }
}

std::optional<SUrlRecord> CUrlRecorderAsBrowser::WaitForRecord(DWORD dwTimeoutMs) const
{
    const ULONGLONG ullDeadline = GetTickCount64() + dwTimeoutMs;
    while (true)
    {
        if (std::optional<SUrlRecord> record = ParseUrlRecord(ReadBytesFromFile(m_wstrRecordFile)))
            return record;
        if (GetTickCount64() > ullDeadline)
            return std::nullopt;
        Sleep(POLL_INTERVAL_MS);
    }
}

bool CaptureScreen(const wchar_t* szFileName)
{
    const std::wstring wstrGrabber = GetEnvironmentText(SCREEN_GRABBER_VARIABLE).value_or(DEFAULT_SCREEN_GRABBER);
    const std::optional<std::wstring> display = GetEnvironmentText(L"DISPLAY");
    if (!display || GetFileAttributesW(wstrGrabber.c_str()) == INVALID_FILE_ATTRIBUTES)
        return false;

    const std::filesystem::path folder = std::filesystem::path(GetBinDirectory()).parent_path() / L"artifacts";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    const std::wstring wstrTarget = (folder / szFileName).wstring();
    const std::optional<std::string> unixTarget = GetUnixPath(wstrTarget);
    if (!unixTarget)
        return false;

    const std::wstring wstrArguments =
        L"-window root -display " + *display + L" \"" + SharedUtil::Utf8ToWide(*unixTarget) + L"\"";
    std::filesystem::remove(wstrTarget, error);
    CChildProcess grabber;
    if (!grabber.Start(wstrGrabber, wstrArguments))
        return false;
    // Wine starts a Unix program without giving back a process to wait for
    // (WaitForExit then returns at once): the file counts as written when its
    // size has stopped changing.
    grabber.WaitForExit(SCREENSHOT_TIMEOUT_MS);
    const ULONGLONG ullDeadline = GetTickCount64() + SCREENSHOT_TIMEOUT_MS;
    std::uintmax_t uiLastSize = 0;
    while (GetTickCount64() < ullDeadline)
    {
        Sleep(SCREENSHOT_SETTLE_MS);
        const std::uintmax_t uiSize = std::filesystem::file_size(wstrTarget, error);
        if (!error && uiSize != 0 && uiSize == uiLastSize)
            return true;
        uiLastSize = error ? 0 : uiSize;
    }
    return false;
}
std::vector<SRefusedHelpUrl> MakeRefusedHelpUrls()
{
    constexpr const char* NOT_WEB_LINE = "Trouble URL refused: not an http:// or https:// address";
    constexpr std::size_t MARKERS = 100000;
    constexpr std::size_t SERIAL_BYTES = 400000;
    const std::wstring wstrRecorder = GetHelperPath(L"url_recorder.exe");
    std::wstring wstrRecorderUrl = L"file:///" + wstrRecorder;
    std::replace(wstrRecorderUrl.begin(), wstrRecorderUrl.end(), L'\\', L'/');
    SString strManyMarkers = "https://x/?";
    for (std::size_t i = 0; i < MARKERS; ++i)
        strManyMarkers += "_ID_";
    return {
        {"file: URL of a program", SharedUtil::WideToUtf8(wstrRecorderUrl), "S-1", NOT_WEB_LINE},
        {"a program's path", SharedUtil::WideToUtf8(wstrRecorder), "S-1", NOT_WEB_LINE},
        {"huge once the serial is in", strManyMarkers, SString(std::string(SERIAL_BYTES, 's')),
         "Trouble URL refused: longer than 4096 bytes"},
    };
}
} // namespace TestSupport
