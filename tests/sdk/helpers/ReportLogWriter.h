#pragma once

// What the report-log writer and the concurrency test that starts it agree on.
#include <cstdint>

#include "SString.h"

constexpr const wchar_t* REPORT_LOG_WRITER_FILE_NAME = L"report_log_writer.exe";
constexpr uint32_t REPORT_LOG_WRITER_ID = 4242;
// Exit codes: all lines handed to WriteReportLog, or the arguments were wrong.
constexpr unsigned long WRITER_DONE = 0;
constexpr unsigned long WRITER_BAD_ARGUMENTS = 2;

// The text of a writer's line: who wrote it and which line it is, padded to
// uiTextBytes with a letter that changes from line to line, so that a piece
// of one line inside another shows.
inline SString MakeWriterText(unsigned long ulProcessId, uint32_t uiLine, uint32_t uiTextBytes)
{
    constexpr uint32_t PAD_LETTERS = 26;
    SString strText("writer %lu line %u ", ulProcessId, uiLine);
    if (strText.size() < uiTextBytes)
        strText.append(uiTextBytes - strText.size(), static_cast<char>('a' + uiLine % PAD_LETTERS));
    return strText;
}
