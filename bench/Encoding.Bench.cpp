// Throughput of Utf8ToWide and WideToUtf8 against glibc's iconv on the same
// texts. Throughput counts the bytes of the UTF-8 text in both directions.
// Ours returns a freshly allocated string each time; iconv writes into a
// buffer that is allocated once, its most favourable case.

#include <benchmark/benchmark.h>

#include "SharedUtil.Encoding.h"

#include <iconv.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

using SharedUtil::WString;

namespace
{
constexpr std::size_t KIB = 1024;
constexpr std::size_t MIB = KIB * KIB;
constexpr double BYTES_PER_MB = 1e6;
const iconv_t ICONV_FAILED = reinterpret_cast<iconv_t>(-1);
const std::size_t ICONV_ERROR = static_cast<std::size_t>(-1);
// UTF-16 never needs more bytes than UTF-8 plus one unit per byte, and UTF-8
// from UTF-16 at most three bytes per unit.
constexpr std::size_t ICONV_OUTPUT_FACTOR = 3;
constexpr unsigned int BYTE_BITS = 8;
constexpr uint16_t LOW_BYTE_MASK = 0xFF;

struct SSize
{
    std::size_t uiBytes;
    const char* szLabel;
};
const SSize SIZES[] = {{16, "16 B"}, {KIB, "1 KiB"}, {MIB, "1 MiB"}};

struct SKind
{
    const char* szLabel;
    const char* szSample;
};
// Latin with accents, Greek, CJK and emoji, so that every sequence length of
// UTF-8 occurs, already within the first 16 bytes.
const SKind KINDS[] = {
    {"ascii", "The quick brown fox jumps over the lazy dog; 0123456789. "},
    {"mixed", "\xC3\x96 \xCE\x93 \xE6\x97\xA5 \xF0\x9F\x98\x80 "
              "Gr\xC3\xBC\xC3\x9F"
              "e aus K\xC3\xB6ln, \xCE\x93\xCE\xB5\xCE\xB9\xCE\xB1 \xCF\x83\xCE\xBF\xCF\x85, "
              "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE6\x96\x87\xE7\xAB\xA0 \xF0\x9F\x8E\x89 ok. "},
};

enum class EDirection
{
    UTF8_TO_WIDE,
    WIDE_TO_UTF8,
};
const char* DirectionLabel(EDirection direction)
{
    return direction == EDirection::UTF8_TO_WIDE ? "Utf8ToWide" : "WideToUtf8";
}

bool IsLeadByte(char c)
{
    constexpr unsigned char CONTINUATION_MASK = 0xC0;
    constexpr unsigned char CONTINUATION_TAG = 0x80;
    return (static_cast<unsigned char>(c) & CONTINUATION_MASK) != CONTINUATION_TAG;
}

// The sample repeated and cut at a character boundary at or below uiBytes.
SString MakeText(const char* szSample, std::size_t uiBytes)
{
    const std::string strSample = szSample;
    std::string strText;
    while (strText.size() < uiBytes)
        strText += strSample;
    std::size_t uiCut = uiBytes;
    while (uiCut > 0 && !IsLeadByte(strText[uiCut]))
        --uiCut;
    strText.resize(uiCut);
    return strText;
}

std::vector<char> ToUtf16Le(const WString& wstrText)
{
    std::vector<char> bytes;
    for (wchar_t wcUnit : wstrText)
    {
        const uint16_t usUnit = static_cast<uint16_t>(wcUnit);
        bytes.push_back(static_cast<char>(usUnit & LOW_BYTE_MASK));
        bytes.push_back(static_cast<char>(usUnit >> BYTE_BITS));
    }
    return bytes;
}

// One full conversion; false when iconv did not take all of the input.
bool RunIconv(iconv_t cd, const char* pInput, std::size_t uiInputBytes, std::vector<char>& output)
{
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* pIn = const_cast<char*>(pInput);
    std::size_t uiInLeft = uiInputBytes;
    char* pOut = output.data();
    std::size_t uiOutLeft = output.size();
    const std::size_t uiResult = iconv(cd, &pIn, &uiInLeft, &pOut, &uiOutLeft);
    benchmark::DoNotOptimize(output.data());
    return uiResult != ICONV_ERROR && uiInLeft == 0;
}

struct SCase
{
    EDirection direction;
    const SKind* pKind;
    const SSize* pSize;
    SString strUtf8;
    WString wstrWide;
    std::vector<char> utf16le;
};

void BenchOurs(benchmark::State& state, const SCase* pCase)
{
    for (auto _ : state)
    {
        if (pCase->direction == EDirection::UTF8_TO_WIDE)
            benchmark::DoNotOptimize(SharedUtil::Utf8ToWide(pCase->strUtf8));
        else
            benchmark::DoNotOptimize(SharedUtil::WideToUtf8(pCase->wstrWide));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(pCase->strUtf8.size()));
}

void BenchIconv(benchmark::State& state, const SCase* pCase)
{
    const bool bToWide = pCase->direction == EDirection::UTF8_TO_WIDE;
    const iconv_t cd = bToWide ? iconv_open("UTF-16LE", "UTF-8") : iconv_open("UTF-8", "UTF-16LE");
    if (cd == ICONV_FAILED)
    {
        state.SkipWithError("iconv_open failed");
        return;
    }
    const char* pInput = bToWide ? pCase->strUtf8.data() : pCase->utf16le.data();
    const std::size_t uiInputBytes = bToWide ? pCase->strUtf8.size() : pCase->utf16le.size();
    std::vector<char> output(ICONV_OUTPUT_FACTOR * uiInputBytes + ICONV_OUTPUT_FACTOR);
    if (!RunIconv(cd, pInput, uiInputBytes, output))
        state.SkipWithError("iconv did not convert the whole text");
    else
    {
        for (auto _ : state)
            RunIconv(cd, pInput, uiInputBytes, output);
    }
    iconv_close(cd);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(pCase->strUtf8.size()));
}

std::string CaseName(const SCase& testCase, const char* szImplementation)
{
    return std::string(DirectionLabel(testCase.direction)) + "/" + testCase.pKind->szLabel + "/" +
           testCase.pSize->szLabel + "/" + szImplementation;
}

// Passes everything on to the console and keeps each run's throughput, by
// benchmark name, averaged over repetitions.
class CThroughputReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
        {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            const auto it = run.counters.find("bytes_per_second");
            if (it == run.counters.end())
                continue;
            SThroughput& throughput = m_throughputs[run.benchmark_name()];
            throughput.dSum += it->second.value;
            ++throughput.uiCount;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Bytes per second, or 0 when the benchmark did not run.
    double Throughput(const std::string& strName) const
    {
        const auto it = m_throughputs.find(strName);
        return it == m_throughputs.end() ? 0 : it->second.dSum / static_cast<double>(it->second.uiCount);
    }

private:
    struct SThroughput
    {
        double dSum = 0;
        unsigned int uiCount = 0;
    };
    std::map<std::string, SThroughput> m_throughputs;
};
} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    std::vector<SCase> cases;
    for (EDirection direction : {EDirection::UTF8_TO_WIDE, EDirection::WIDE_TO_UTF8})
    {
        for (const SSize& size : SIZES)
        {
            for (const SKind& kind : KINDS)
            {
                SCase testCase{direction, &kind, &size, MakeText(kind.szSample, size.uiBytes), {}, {}};
                testCase.wstrWide = SharedUtil::Utf8ToWide(testCase.strUtf8);
                testCase.utf16le = ToUtf16Le(testCase.wstrWide);
                cases.push_back(std::move(testCase));
            }
        }
    }
    for (const SCase& testCase : cases)
    {
        benchmark::RegisterBenchmark(CaseName(testCase, "ours").c_str(), BenchOurs, &testCase);
        benchmark::RegisterBenchmark(CaseName(testCase, "iconv").c_str(), BenchIconv, &testCase);
    }

    CThroughputReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\n%-7s %-6s %-11s %12s %12s %7s\n", "size", "text", "direction", "ours MB/s", "iconv MB/s", "ratio");
    for (const SCase& testCase : cases)
    {
        const double dOurs = reporter.Throughput(CaseName(testCase, "ours")) / BYTES_PER_MB;
        const double dIconv = reporter.Throughput(CaseName(testCase, "iconv")) / BYTES_PER_MB;
        if (dOurs == 0 || dIconv == 0)
            continue;
        std::printf("%-7s %-6s %-11s %12.1f %12.1f %7.2f\n", testCase.pSize->szLabel, testCase.pKind->szLabel,
                    DirectionLabel(testCase.direction), dOurs, dIconv, dOurs / dIconv);
    }
    return 0;
}
