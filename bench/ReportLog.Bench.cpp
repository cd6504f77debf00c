// The cost of a report line: WriteReportLog (fold check, folders held, four
// settings reads, checked open, locked append, close per line) against two
// baselines writing the same bytes: a bare open/append/close loop, and the
// floor of what every line must do, the same steps made directly with the
// platform's calls. Then what each part of a written line costs, and the cost
// of a repeated line that the filter folds away.
#include "SharedUtil.Encoding.h"
#include "SharedUtil.FileAppend.Win32.h"
#include "SharedUtil.Path.h"
#include "SharedUtil.ProcessTag.Win32.h"
#include "SharedUtil.ReportFilter.h"
#include "SharedUtil.Registry.h"
#include "SharedUtil.ReportLog.Win32.h"
#include "SharedUtil.ScopedHandle.Win32.h"
#include "SharedUtil.Version.h"
#include "SharedUtil.Windows.h"

#include <shlobj.h>

#include <chrono>
#include <cstdio>
#include <iterator>
#include <utility>
#include <vector>

using namespace SharedUtil;

namespace
{
constexpr uint32_t DISTINCT_LINES = 10000;
// The two loops take turns in rounds, so that a busy machine slows both alike.
constexpr uint32_t ROUNDS = 10;
constexpr uint32_t LINES_PER_ROUND = DISTINCT_LINES / ROUNDS;
constexpr uint32_t PART_CALLS = 1000;
constexpr uint32_t REPEATED_LINES = 100000;
constexpr uint32_t BENCH_ID = 5725;
// WriteReportLog against the floor of a line's required steps.
constexpr double TARGET_FLOOR_RATIO = 1.2;
constexpr double MICROSECONDS = 1e6;

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point tStart)
{
    return std::chrono::duration<double>(Clock::now() - tStart).count();
}

// Appends each line with its own open, write and close, and nothing else.
double AppendBare(const WString& wstrPath, const SString* pLines, uint32_t uiCount)
{
    const Clock::time_point tStart = Clock::now();
    for (uint32_t i = 0; i < uiCount; ++i)
    {
        FILE* pFile = _wfopen(wstrPath.c_str(), L"ab");
        if (!pFile)
            continue;
        std::fwrite(pLines[i].data(), 1, pLines[i].size(), pFile);
        std::fclose(pFile);
    }
    return SecondsSince(tStart);
}

// The steps every line needs, made directly: the all-users folder query, the
// four system-tag settings over their registry views (64-bit, 32-bit,
// default; the first that opens and holds a value wins; each view's key
// opened once), the attribute reset, and one append-only open, write and
// close.
const wchar_t* const FLOOR_SETTINGS[] = {L"qel-version-ext", L"os-version", L"real-os-version", L"is-admin"};
constexpr REGSAM FLOOR_VIEWS[] = {KEY_READ | KEY_WOW64_64KEY, KEY_READ | KEY_WOW64_32KEY, KEY_READ};
constexpr DWORD FLOOR_VALUE_BYTES = 1024;

// The settings key and the floor's file below the all-users folder, named by
// the build's major.minor version as the report log's are.
const WString& FloorSettingsKey()
{
    static const WString wstrKey = Utf8ToWide(GetSettingsKeyPath(DEFAULT_SETTINGS_SECTION));
    return wstrKey;
}

const WString& FloorFile()
{
    static const WString wstrFile = L"\\Qel Vendaro All\\" + Utf8ToWide(GetMajorMinorVersion()) + L"\\floor.log";
    return wstrFile;
}

// Each view's key opened once for the four settings; a setting found in one
// view is not asked for again.
void ReadSettingsFloor()
{
    BYTE value[FLOOR_VALUE_BYTES];
    bool found[std::size(FLOOR_SETTINGS)] = {};
    for (REGSAM samView : FLOOR_VIEWS)
    {
        HKEY hOpened = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, FloorSettingsKey().c_str(), 0, samView, &hOpened) != ERROR_SUCCESS)
            continue;
        const CScopedRegistryKey hKey(hOpened);
        for (std::size_t i = 0; i < std::size(FLOOR_SETTINGS); ++i)
        {
            DWORD dwBytes = sizeof(value);
            found[i] = found[i] || RegQueryValueExW(hKey.Get(), FLOOR_SETTINGS[i], nullptr, nullptr, value, &dwBytes) ==
                                       ERROR_SUCCESS;
        }
    }
}

double AppendFloor(const SString* pLines, uint32_t uiCount)
{
    const Clock::time_point tStart = Clock::now();
    for (uint32_t i = 0; i < uiCount; ++i)
    {
        wchar_t wszFolder[MAX_PATH] = {};
        SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, wszFolder);
        ReadSettingsFloor();
        const WString wstrPath = WString(wszFolder) + FloorFile();
        SetFileAttributesW(wstrPath.c_str(), FILE_ATTRIBUTE_NORMAL);
        const CScopedKernelHandle hFile(CreateFileW(wstrPath.c_str(), FILE_APPEND_DATA,
                                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD dwWritten = 0;
        WriteFile(hFile.Get(), pLines[i].data(), static_cast<DWORD>(pLines[i].size()), &dwWritten, nullptr);
    }
    return SecondsSince(tStart);
}

double WriteThroughReportLog(const SString* pTexts, uint32_t uiCount)
{
    const Clock::time_point tStart = Clock::now();
    for (uint32_t i = 0; i < uiCount; ++i)
        WriteReportLog(BENCH_ID, pTexts[i]);
    return SecondsSince(tStart);
}

template <typename Part> void PrintPartCost(const char* szName, Part part)
{
    const Clock::time_point tStart = Clock::now();
    for (uint32_t i = 0; i < PART_CALLS; ++i)
        part();
    std::printf("  %-34s %8.1f us\n", szName, MICROSECONDS * SecondsSince(tStart) / PART_CALLS);
}

uint64_t FileSize(const WString& wstrPath)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(wstrPath.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}
} // namespace

int main()
{
    const SString strFolder = GetVersionDataFolder();
    const SString strLogPath = CombinePath(strFolder, "report.log");
    const WString wstrLogPath = Utf8ToWide(strLogPath);
    const WString wstrBarePath = Utf8ToWide(CombinePath(strFolder, "bare.log"));
    const WString wstrPartsPath = Utf8ToWide(CombinePath(strFolder, "parts.log"));
    const WString wstrFloorPath = Utf8ToWide(CombinePath(strFolder, "floor.log"));
    EnsureParentFolders(strLogPath);
    for (const WString& wstrPath : {wstrLogPath, wstrBarePath, wstrPartsPath, wstrFloorPath})
        DeleteFileW(wstrPath.c_str());

    // The bare loop writes the very lines that WriteReportLog writes.
    std::vector<SString> texts;
    std::vector<SString> lines;
    texts.reserve(DISTINCT_LINES);
    lines.reserve(DISTINCT_LINES);
    const SString strSystemTag = GetSystemInfoTag();
    const SString strProcessTag = GetProcessLogTag();
    for (uint32_t i = 0; i < DISTINCT_LINES; ++i)
    {
        texts.push_back(SString("Launcher Main: Qel directory not found from: 'C:\\Games\\App %u'", i));
        lines.push_back(
            FormatReportLine(SPendingLine{texts.back(), BENCH_ID, 0}, GetReportTime(), strSystemTag, strProcessTag));
    }

    double dReportSeconds = 0;
    double dBareSeconds = 0;
    double dFloorSeconds = 0;
    for (uint32_t uiRound = 0; uiRound < ROUNDS; ++uiRound)
    {
        const uint32_t uiFirst = uiRound * LINES_PER_ROUND;
        dReportSeconds += WriteThroughReportLog(&texts[uiFirst], LINES_PER_ROUND);
        dBareSeconds += AppendBare(wstrBarePath, &lines[uiFirst], LINES_PER_ROUND);
        dFloorSeconds += AppendFloor(&lines[uiFirst], LINES_PER_ROUND);
    }

    std::printf("%u distinct lines; bytes written: %llu report.log, %llu bare, %llu floor\n", DISTINCT_LINES,
                static_cast<unsigned long long>(FileSize(wstrLogPath)),
                static_cast<unsigned long long>(FileSize(wstrBarePath)),
                static_cast<unsigned long long>(FileSize(wstrFloorPath)));
    const std::pair<const char*, double> loops[] = {{"WriteReportLog", dReportSeconds},
                                                    {"open/append/close", dBareSeconds},
                                                    {"floor: a line's steps, direct", dFloorSeconds}};
    for (const auto& [szName, dSeconds] : loops)
        std::printf("  %-34s %8.0f lines/s  (%.1f us/line)\n", szName, DISTINCT_LINES / dSeconds,
                    MICROSECONDS * dSeconds / DISTINCT_LINES);
    const double dFloorRatio = dReportSeconds / dFloorSeconds;
    std::printf("  ratio to open/append/close         %8.2f\n", dReportSeconds / dBareSeconds);
    std::printf("  ratio to the floor                 %8.2f  (target at most %.1f: %s)\n", dFloorRatio,
                TARGET_FLOOR_RATIO, dFloorRatio <= TARGET_FLOOR_RATIO ? "met" : "missed");

    std::printf("Parts of one written line, %u calls each\n", PART_CALLS);
    const SString& strLine = lines.front();
    const SString strPartsPath = WideToUtf8(wstrPartsPath);
    PrintPartCost("data folder (GetVersionDataFolder)", [] { GetVersionDataFolder(); });
    PrintPartCost("EnsureParentFolders", [&] { EnsureParentFolders(strLogPath); });
    PrintPartCost("HoldFolder", [&] { HoldFolder(strFolder); });
    PrintPartCost("system tag (four settings)", [] { GetSystemInfoTag(); });
    PrintPartCost("process tag (cached)", [] { GetProcessLogTag(); });
    PrintPartCost("FormatReportLine",
                  [&] {
                      FormatReportLine(SPendingLine{texts.front(), BENCH_ID, 0}, 0, "[]", "0");
                  });
    PrintPartCost("AppendToFile, attributes reset",
                  [&] { AppendToFile(strPartsPath, strLine.data(), static_cast<uint32_t>(strLine.size()), true); });
    PrintPartCost("AppendToFile, no reset",
                  [&] { AppendToFile(strPartsPath, strLine.data(), static_cast<uint32_t>(strLine.size()), false); });
    PrintPartCost("bare open/append/close", [&] { AppendBare(wstrPartsPath, &strLine, 1); });
    PrintPartCost("floor of one line", [&] { AppendFloor(&strLine, 1); });

    const SString strRepeated = "Launcher Main: the same line again";
    const Clock::time_point tRepeatStart = Clock::now();
    for (uint32_t i = 0; i < REPEATED_LINES; ++i)
        WriteReportLog(BENCH_ID, strRepeated);
    // One line more closes the run and writes its summary.
    WriteReportLog(BENCH_ID, "Launcher Main: end of the repeats");
    const double dRepeatSeconds = SecondsSince(tRepeatStart);
    std::printf("%u repeated lines (folded) and one closing line\n", REPEATED_LINES);
    std::printf("  WriteReportLog                     %8.0f lines/s  (%.2f us/line)\n", REPEATED_LINES / dRepeatSeconds,
                MICROSECONDS * dRepeatSeconds / REPEATED_LINES);
    return 0;
}
