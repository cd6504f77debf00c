// The cost of a report line: WriteReportLog (fold check, folder, four
// settings reads, checked open/append/close per line) against a bare
// open/append/close loop writing the same bytes; what each part of a written
// line costs; and the cost of a repeated line that the filter folds away.
#include "SharedUtil.Encoding.h"
#include "SharedUtil.File.h"
#include "SharedUtil.Path.h"
#include "SharedUtil.ProcessTag.Win32.h"
#include "SharedUtil.ReportFilter.h"
#include "SharedUtil.ReportLog.h"
#include "SharedUtil.Windows.h"

#include <chrono>
#include <cstdio>
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
constexpr double TARGET_RATIO = 2.0;
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
    EnsureParentFolders(strLogPath);
    DeleteFileW(wstrLogPath.c_str());
    DeleteFileW(wstrBarePath.c_str());
    DeleteFileW(wstrPartsPath.c_str());

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
    for (uint32_t uiRound = 0; uiRound < ROUNDS; ++uiRound)
    {
        const uint32_t uiFirst = uiRound * LINES_PER_ROUND;
        dReportSeconds += WriteThroughReportLog(&texts[uiFirst], LINES_PER_ROUND);
        dBareSeconds += AppendBare(wstrBarePath, &lines[uiFirst], LINES_PER_ROUND);
    }
    const uint64_t uiReportBytes = FileSize(wstrLogPath);
    const uint64_t uiBareBytes = FileSize(wstrBarePath);

    const double dRatio = dReportSeconds / dBareSeconds;
    std::printf("%u distinct lines, %llu bytes in report.log, %llu bytes in the bare file\n", DISTINCT_LINES,
                static_cast<unsigned long long>(uiReportBytes), static_cast<unsigned long long>(uiBareBytes));
    std::printf("  WriteReportLog                     %8.0f lines/s  (%.1f us/line)\n", DISTINCT_LINES / dReportSeconds,
                MICROSECONDS * dReportSeconds / DISTINCT_LINES);
    std::printf("  open/append/close                  %8.0f lines/s  (%.1f us/line)\n", DISTINCT_LINES / dBareSeconds,
                MICROSECONDS * dBareSeconds / DISTINCT_LINES);
    std::printf("  cost ratio                         %8.2f  (target at most %.1f: %s)\n", dRatio, TARGET_RATIO,
                dRatio <= TARGET_RATIO ? "met" : "missed");

    std::printf("Parts of one written line, %u calls each\n", PART_CALLS);
    const SString& strLine = lines.front();
    const SString strPartsPath = WideToUtf8(wstrPartsPath);
    PrintPartCost("data folder (GetVersionDataFolder)", [] { GetVersionDataFolder(); });
    PrintPartCost("EnsureParentFolders", [&] { EnsureParentFolders(strLogPath); });
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
