// Start-up cost of the launcher: the time from starting Valdrenne.exe to the
// sample loader's DoWinMain returning, against two stubs: a bare one that only
// loads the same loader and calls it, and one that first prepares the process
// as every launch must (error mode, apartment-threaded COM, application
// identity) and carries the launcher's manifest. All run from staged folders,
// interleaved, and the medians are compared; the preparing stub runs a second
// time from a folder of its own, so that the run shows how far it can tell
// two programs apart.
// The launcher measured is the image as it ships, stripped of its debug
// information (the build's dist\Valdrenne.exe), which the system maps at
// every start; the first argument names another image.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "SharedUtil.ScopedHandle.Win32.h"
#include "SharedUtil.Windows.h"

namespace
{
// Enough runs that a busy machine's outliers move the median little.
constexpr int RUNS = 60;
constexpr int WARM_UP_RUNS = 3;
constexpr DWORD PATH_UNITS = 32768;

std::wstring BinDirectory()
{
    std::wstring wstrPath(PATH_UNITS, L'\0');
    wstrPath.resize(GetModuleFileNameW(nullptr, wstrPath.data(), PATH_UNITS));
    return wstrPath.substr(0, wstrPath.find_last_of(L'\\'));
}

// Copies a program and the sample loader into <folder>\ and <folder>\qel\.
std::wstring Stage(const std::wstring& wstrFolder, const std::wstring& wstrSource, const std::wstring& wstrProgram)
{
    std::wstring wstrBin = BinDirectory();
    std::filesystem::create_directories(wstrFolder + L"\\qel");
    CopyFileW(wstrSource.c_str(), (wstrFolder + L"\\" + wstrProgram).c_str(), FALSE);
    CopyFileW((wstrBin + L"\\loader.dll").c_str(), (wstrFolder + L"\\qel\\loader.dll").c_str(), FALSE);
    return wstrFolder + L"\\" + wstrProgram;
}

// One run's milliseconds from CreateProcessW to DoWinMain's return, as the
// loader stamped it in its report, and from that return to the process's
// end; negative when the run failed.
struct SRunTimes
{
    double dToReturn = -1;
    double dReturnToExit = -1;
    DWORD dwExitCode = 0; // of a run that failed, or 0 when it did not start
};

SRunTimes TimeOneRun(const std::wstring& wstrProgram, const std::wstring& wstrReport)
{
    DeleteFileW(wstrReport.c_str());
    std::wstring wstrCommandLine = L"\"" + wstrProgram + L"\"";
    STARTUPINFOW startupInfo = {};
    startupInfo.cb = sizeof(startupInfo);
    PROCESS_INFORMATION processInfo = {};
    LARGE_INTEGER liStart, liEnd, liFrequency;
    QueryPerformanceFrequency(&liFrequency);
    QueryPerformanceCounter(&liStart);
    if (!CreateProcessW(wstrProgram.c_str(), wstrCommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startupInfo, &processInfo))
        return {};
    const SharedUtil::CScopedKernelHandle thread(processInfo.hThread);
    const SharedUtil::CScopedKernelHandle process(processInfo.hProcess);
    WaitForSingleObject(process.Get(), INFINITE);
    QueryPerformanceCounter(&liEnd);
    DWORD dwExitCode = 1;
    GetExitCodeProcess(process.Get(), &dwExitCode);

    std::ifstream report{std::filesystem::path(wstrReport)};
    std::string strLine;
    long long llReturned = 0;
    while (std::getline(report, strLine))
        if (strLine.rfind("returned-at-qpc: ", 0) == 0)
            llReturned = std::stoll(strLine.substr(17));
    if (dwExitCode != 0 || llReturned == 0)
        return {-1, -1, dwExitCode};
    const double dTicksPerMs = static_cast<double>(liFrequency.QuadPart) / 1000.0;
    return {static_cast<double>(llReturned - liStart.QuadPart) / dTicksPerMs,
            static_cast<double>(liEnd.QuadPart - llReturned) / dTicksPerMs, 0};
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    std::size_t uiMiddle = values.size() / 2;
    return values.size() % 2 ? values[uiMiddle] : (values[uiMiddle - 1] + values[uiMiddle]) / 2;
}
} // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring wstrBin = BinDirectory();
    const std::wstring wstrImage = argc > 1 ? argv[1] : wstrBin + L"\\..\\dist\\Valdrenne.exe";
    if (GetFileAttributesW(wstrImage.c_str()) == INVALID_FILE_ATTRIBUTES)
    {
        std::printf("no launcher image at %ls\n", wstrImage.c_str());
        return 1;
    }
    wchar_t wszTemp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, wszTemp);
    std::wstring wstrRoot = std::wstring(wszTemp) + L"launch-bench-" + std::to_wstring(GetCurrentProcessId());
    std::wstring wstrLauncher = Stage(wstrRoot + L"\\launcher", wstrImage, L"Valdrenne.exe");
    std::wstring wstrBareStub = Stage(wstrRoot + L"\\stub", wstrBin + L"\\launch_stub.exe", L"launch_stub.exe");
    std::wstring wstrPreparedStub =
        Stage(wstrRoot + L"\\prepared", wstrBin + L"\\launch_stub_prepared.exe", L"launch_stub_prepared.exe");
    std::wstring wstrReport = wstrRoot + L"\\report.txt";
    SetEnvironmentVariableW(L"QEL_SAMPLE_REPORT", wstrReport.c_str());

    struct SProgram
    {
        const char* szName;
        std::wstring wstrPath;
        std::vector<double> toReturn;
        std::vector<double> returnToExit;
    };
    // The preparing stub twice, from two folders: how far two runs of the
    // same program differ is the resolution of this run's ratios.
    const std::wstring wstrPreparedCopy =
        Stage(wstrRoot + L"\\prepared-copy", wstrBin + L"\\launch_stub_prepared.exe", L"launch_stub_prepared.exe");
    SProgram programs[] = {
        {"Valdrenne.exe", wstrLauncher, {}, {}},
        {"preparing stub", wstrPreparedStub, {}, {}},
        {"bare stub", wstrBareStub, {}, {}},
        {"preparing stub 2", wstrPreparedCopy, {}, {}},
    };
    constexpr int PROGRAM_COUNT = static_cast<int>(std::size(programs));
    for (int i = 0; i < WARM_UP_RUNS + RUNS; ++i)
    {
        // Each round starts with the next program, so that none always runs
        // first (after the benchmark's own work) or last.
        for (int iTurn = 0; iTurn < PROGRAM_COUNT; ++iTurn)
        {
            SProgram& program = programs[(i + iTurn) % PROGRAM_COUNT];
            SRunTimes times = TimeOneRun(program.wstrPath, wstrReport);
            if (times.dToReturn < 0)
            {
                std::printf("run %d of the %s failed (exit code 0x%lX, a report %s)\n", i, program.szName,
                            static_cast<unsigned long>(times.dwExitCode),
                            GetFileAttributesW(wstrReport.c_str()) == INVALID_FILE_ATTRIBUTES ? "missing" : "present");
                return 1;
            }
            if (i >= WARM_UP_RUNS)
            {
                program.toReturn.push_back(times.dToReturn);
                program.returnToExit.push_back(times.dReturnToExit);
            }
        }
    }
    std::error_code ec;
    std::filesystem::remove_all(wstrRoot, ec);

    std::printf("launcher image: %ls (%lld bytes)\n", wstrImage.c_str(),
                static_cast<long long>(std::filesystem::file_size(wstrImage)));
    std::printf("median of %d interleaved runs each (after %d warm-up runs), ms:\n", RUNS, WARM_UP_RUNS);
    std::printf("  %-16s %18s %24s\n", "", "start to DoWinMain's return", "return to process end");
    for (const SProgram& program : programs)
        std::printf("  %-16s %18.2f %24.2f\n", program.szName, Median(program.toReturn), Median(program.returnToExit));
    const double dLauncher = Median(programs[0].toReturn);
    std::printf("  launcher / preparing stub  %6.3f  (target: at most 1.02)\n",
                dLauncher / Median(programs[1].toReturn));
    std::printf("  launcher / bare stub       %6.3f\n", dLauncher / Median(programs[2].toReturn));
    std::printf("  preparing stub 2 / preparing stub  %6.3f  (the same program: this run's resolution)\n",
                Median(programs[3].toReturn) / Median(programs[1].toReturn));
    return 0;
}
