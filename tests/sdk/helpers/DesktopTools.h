#pragma once

// What the clipboard, shell and trouble-help tests share: the clipboard read
// back as a person's paste would see it, a stand-in browser registered as the
// https handler, helper programs beside the tests, and screenshots.
#include "SharedUtil.Encoding.h"
#include "SharedUtil.Windows.h"
#include "support/Win32TestSupport.Win32.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace DesktopTools
{
constexpr DWORD POLL_INTERVAL_MS = 20;
constexpr DWORD ENVIRONMENT_VALUE_MAX_UNITS = 32768;
constexpr DWORD REGISTRY_TEXT_MAX_BYTES = 65536;
constexpr DWORD SCREENSHOT_TIMEOUT_MS = 20000;
constexpr DWORD SCREENSHOT_SETTLE_MS = 300;
constexpr int WINDOW_CLASS_MAX_UNITS = 64;
constexpr const wchar_t* URL_RECORDER_FILE_NAME = L"url_recorder.exe";
constexpr const wchar_t* URL_RECORD_VARIABLE = L"VALDRENNE_URL_RECORD";
constexpr const wchar_t* HTTPS_COMMAND_KEY = L"Software\\Classes\\https\\shell\\open\\command";
// Overrides the screen grabber; by default ImageMagick's, through Wine's Z: drive.
constexpr const wchar_t* SCREEN_GRABBER_VARIABLE = L"VALDRENNE_SCREEN_GRABBER";
constexpr const wchar_t* DEFAULT_SCREEN_GRABBER = L"Z:\\usr\\bin\\import";

// A helper program built beside the tests.
inline std::wstring GetHelperPath(const wchar_t* szFileName)
{
    return TestSupport::GetBinDirectory() + L"\\" + szFileName;
}

inline std::optional<std::wstring> GetEnvironmentText(const wchar_t* szName)
{
    std::vector<wchar_t> buffer(ENVIRONMENT_VALUE_MAX_UNITS);
    const DWORD dwLength = GetEnvironmentVariableW(szName, buffer.data(), ENVIRONMENT_VALUE_MAX_UNITS);
    if (dwLength == 0 || dwLength >= ENVIRONMENT_VALUE_MAX_UNITS)
        return std::nullopt;
    return std::wstring(buffer.data(), dwLength);
}

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

// Whether the clipboard holds Unicode text and nothing else but the formats
// the system derives from it on its own.
inline bool HoldsOnlyUnicodeText(const SClipboardText& clipboard)
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

inline SClipboardText ReadClipboardText()
{
    SClipboardText result;
    if (!OpenClipboard(nullptr))
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
    CloseClipboard();
    return result;
}

inline std::wstring UnitsToWide(const std::vector<uint16_t>& units)
{
    return std::wstring(units.begin(), units.end());
}

// Places a text with the plain Win32 calls, independent of the code under test.
inline bool PutTextOnClipboard(const std::wstring& wstrText)
{
    if (!OpenClipboard(nullptr))
        return false;
    bool bPlaced = false;
    const std::size_t uiBytes = (wstrText.length() + 1) * sizeof(wchar_t);
    if (EmptyClipboard())
    {
        if (HGLOBAL hMemory = GlobalAlloc(GMEM_MOVEABLE, uiBytes))
        {
            std::memcpy(GlobalLock(hMemory), wstrText.c_str(), uiBytes);
            GlobalUnlock(hMemory);
            bPlaced = SetClipboardData(CF_UNICODETEXT, hMemory) != nullptr;
            if (!bPlaced)
                GlobalFree(hMemory);
        }
    }
    CloseClipboard();
    return bPlaced;
}

// The address the stand-in browser received and the process that started it.
struct SUrlRecord
{
    DWORD dwParentId = 0;
    std::string strUrl;
};

inline std::optional<SUrlRecord> ParseUrlRecord(const std::string& strText)
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

// Registers the URL recorder as the https protocol handler in both registry
// views for the lifetime of the object, and gives it a fresh record file.
class CUrlRecorderAsBrowser
{
public:
    CUrlRecorderAsBrowser()
    {
        m_RecordFile = std::filesystem::temp_directory_path() /
                       (L"vd-url-record-" + std::to_wstring(GetCurrentProcessId()) + L".txt");
        std::error_code error;
        std::filesystem::remove(m_RecordFile, error);
        SetEnvironmentVariableW(URL_RECORD_VARIABLE, m_RecordFile.c_str());

        const std::wstring wstrCommand = L"\"" + GetHelperPath(URL_RECORDER_FILE_NAME) + L"\" \"%1\"";
        for (SView& view : m_Views)
        {
            HKEY hKey = nullptr;
            if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, HTTPS_COMMAND_KEY, 0, nullptr, 0,
                                KEY_QUERY_VALUE | KEY_SET_VALUE | view.samView, nullptr, &hKey,
                                nullptr) != ERROR_SUCCESS)
                continue;
            std::vector<BYTE> previous(REGISTRY_TEXT_MAX_BYTES);
            DWORD dwSize = REGISTRY_TEXT_MAX_BYTES;
            view.bHadValue = RegQueryValueExW(hKey, nullptr, nullptr, &view.dwPreviousType, previous.data(), &dwSize) ==
                             ERROR_SUCCESS;
            if (view.bHadValue)
                view.previous.assign(previous.begin(), previous.begin() + dwSize);
            RegSetValueExW(hKey, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(wstrCommand.c_str()),
                           static_cast<DWORD>((wstrCommand.length() + 1) * sizeof(wchar_t)));
            RegCloseKey(hKey);
        }
    }

    ~CUrlRecorderAsBrowser()
    {
        for (const SView& view : m_Views)
        {
            HKEY hKey = nullptr;
            if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, HTTPS_COMMAND_KEY, 0, KEY_SET_VALUE | view.samView, &hKey) !=
                ERROR_SUCCESS)
                continue;
            if (view.bHadValue)
                RegSetValueExW(hKey, nullptr, 0, view.dwPreviousType, view.previous.data(),
                               static_cast<DWORD>(view.previous.size()));
            else
                RegDeleteValueW(hKey, nullptr);
            RegCloseKey(hKey);
        }
        std::error_code error;
        std::filesystem::remove(m_RecordFile, error);
        SetEnvironmentVariableW(URL_RECORD_VARIABLE, nullptr);
    }

    CUrlRecorderAsBrowser(const CUrlRecorderAsBrowser&) = delete;
    CUrlRecorderAsBrowser& operator=(const CUrlRecorderAsBrowser&) = delete;

    // What the recorder wrote, once it has.
    std::optional<SUrlRecord> WaitForRecord(DWORD dwTimeoutMs) const
    {
        const ULONGLONG ullDeadline = GetTickCount64() + dwTimeoutMs;
        while (true)
        {
            std::ifstream file(m_RecordFile, std::ios::binary);
            std::ostringstream content;
            if (file)
                content << file.rdbuf();
            if (std::optional<SUrlRecord> record = ParseUrlRecord(content.str()))
                return record;
            if (GetTickCount64() > ullDeadline)
                return std::nullopt;
            Sleep(POLL_INTERVAL_MS);
        }
    }

private:
    struct SView
    {
        REGSAM samView;
        bool bHadValue = false;
        DWORD dwPreviousType = REG_SZ;
        std::vector<BYTE> previous;
    };
    SView m_Views[2] = {{KEY_WOW64_64KEY, false, REG_SZ, {}}, {KEY_WOW64_32KEY, false, REG_SZ, {}}};
    std::filesystem::path m_RecordFile;
};

// Grabs the whole screen into <build>/artifacts/<file name> through a Unix
// screen grabber that Wine starts. Returns false, and leaves it at that, when
// there is no grabber or no Unix side: a missing screenshot fails nothing.
inline bool CaptureScreen(const wchar_t* szFileName)
{
    const std::wstring wstrGrabber = GetEnvironmentText(SCREEN_GRABBER_VARIABLE).value_or(DEFAULT_SCREEN_GRABBER);
    const std::optional<std::wstring> display = GetEnvironmentText(L"DISPLAY");
    using UnixFileNameFunction = char* (*)(LPCWSTR);
    const auto pfnGetUnixFileName = reinterpret_cast<UnixFileNameFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!display || !pfnGetUnixFileName || GetFileAttributesW(wstrGrabber.c_str()) == INVALID_FILE_ATTRIBUTES)
        return false;

    const std::filesystem::path folder =
        std::filesystem::path(TestSupport::GetBinDirectory()).parent_path() / L"artifacts";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    const std::wstring wstrTarget = (folder / szFileName).wstring();
    char* szUnixTarget = pfnGetUnixFileName(wstrTarget.c_str());
    if (!szUnixTarget)
        return false;
    const std::wstring wstrUnixTarget = SharedUtil::Utf8ToWide(szUnixTarget);
    HeapFree(GetProcessHeap(), 0, szUnixTarget);

    std::wstring wstrCommandLine =
        L"\"" + wstrGrabber + L"\" -window root -display " + *display + L" \"" + wstrUnixTarget + L"\"";
    std::filesystem::remove(wstrTarget, error);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(wstrGrabber.c_str(), wstrCommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return false;
    // Wine starts a Unix program without giving back a process to wait for:
    // the file counts as written when its size has stopped changing.
    if (process.hProcess)
    {
        WaitForSingleObject(process.hProcess, SCREENSHOT_TIMEOUT_MS);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
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
} // namespace DesktopTools
