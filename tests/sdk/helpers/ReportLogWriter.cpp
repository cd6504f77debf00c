// Writes report-log lines for the concurrency test, starting together with
// the other writers:
//   report_log_writer <start event name> <line count> <text bytes>
// waits for the named event, then writes the lines MakeWriterText gives.
#include "ReportLogWriter.h"

#include "SharedUtil.Encoding.h"
#include "SharedUtil.ReportLog.Win32.h"
#include "SharedUtil.ScopedHandle.Win32.h"

#include <cstdlib>

using namespace SharedUtil;

namespace
{
constexpr int WRITER_ARG_COUNT = 4;
constexpr DWORD START_TIMEOUT_MS = 60000;
} // namespace

int main(int iArgCount, char** ppArgs)
{
    if (iArgCount != WRITER_ARG_COUNT)
        return WRITER_BAD_ARGUMENTS;
    const CScopedKernelHandle hStart(OpenEventW(SYNCHRONIZE, FALSE, Utf8ToWide(ppArgs[1]).c_str()));
    const uint32_t uiLines = static_cast<uint32_t>(std::strtoul(ppArgs[2], nullptr, 10));
    const uint32_t uiTextBytes = static_cast<uint32_t>(std::strtoul(ppArgs[3], nullptr, 10));
    if (!hStart.IsValid() || WaitForSingleObject(hStart.Get(), START_TIMEOUT_MS) != WAIT_OBJECT_0)
        return WRITER_BAD_ARGUMENTS;

    for (uint32_t uiLine = 0; uiLine < uiLines; ++uiLine)
        WriteReportLog(REPORT_LOG_WRITER_ID, MakeWriterText(GetCurrentProcessId(), uiLine, uiTextBytes));
    return WRITER_DONE;
}
