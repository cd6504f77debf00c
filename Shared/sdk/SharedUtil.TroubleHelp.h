#pragma once

#include <cstddef>
#include <cstdint>

#include "SString.h"

// On-line help for a problem the user can act on. The request is stored as
// the pending trouble record in the settings store, then read back, consumed
// and acted on: message boxes, the help URL on the clipboard and in the browser.
// The flow itself is in SharedUtil.TroubleHelp.Win32.h.
namespace SharedUtil
{
// The report-log id of OfferTroubleHelp's line; fixed, as the launch
// sequence's ids (launch/LaunchIds.h) are: report.log readers rely on it.
constexpr uint32_t REPORT_TROUBLE = 3200;

// Trouble flags: what happens around the record and how it is shown.
constexpr int TROUBLE_EXIT_FIRST = 0x01;
constexpr int TROUBLE_ASK_FIRST = 0x02;
constexpr int TROUBLE_EXIT_IF_SHOWN = 0x04;
constexpr int TROUBLE_EXIT_IF_NOT_SHOWN = 0x08;
// Windows icon bits for the first message box.
constexpr int TROUBLE_ICON_MASK = 0x70;
constexpr int TROUBLE_MESSAGE_ONLY = 0x80;

// Settings read and written by the flow, all in the "general" section.
constexpr const char* TROUBLE_RECORD_SETTING = "pending-browse-to-solution";
constexpr const char* TROUBLE_URL_SETTING = "trouble-url";
constexpr const char* TROUBLE_VERSION_EXT_SETTING = "qel-version-ext";
constexpr const char* TROUBLE_SERIAL_SETTING = "serial";

// The help page when "trouble-url" is empty; the three markers are replaced.
constexpr const char* TROUBLE_URL_TEMPLATE = "https://help.valdrenne.net/vd/trouble/?v=_VERSION_&id=_ID_&tr=_TROUBLE_";

// The pending trouble record as it was read back from its text form.
struct STroubleRecord
{
    SString strType;
    int iFlags = 0;
    SString strMessage;
    SString strErrorCode;
};

// The record's text form; the type is cut at its first ";".
SString BuildTroubleRecord(const SString& strType, int iFlags, const SString& strMessage, const SString& strErrorCode);

// False, with the output untouched, when the text has no "type" entry.
bool ParseTroubleRecord(const SString& strRecordText, STroubleRecord& outRecord);

// The report-log id of the line that says why the help URL was not opened.
constexpr uint32_t REPORT_TROUBLE_URL_REFUSED = 3201;

// Longest help URL the flow opens, in bytes: far more than any help page
// needs, and far less than the command line it is handed on in.
constexpr std::size_t TROUBLE_URL_MAX_BYTES = 4096;

// The help URL: the template (the built-in one when empty) with "%" made "_",
// then the markers replaced in a fixed order, values inserted as they stand.
// False, with strOutUrl untouched, when the URL would be longer than
// TROUBLE_URL_MAX_BYTES at any step; nothing that long is ever built.
bool BuildTroubleUrl(const SString& strTemplate, const SString& strVersionExt, const SString& strSerial,
                     const SString& strType, SString& strOutUrl);

// The flow opens web pages only: an address that begins with "https://" or
// "http://", letters in any case. Anything else (a file: URL, a program's
// path) the shell would run.
bool IsWebAddress(const SString& strUrl);
} // namespace SharedUtil
