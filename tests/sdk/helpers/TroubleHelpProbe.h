#pragma once

// What the trouble-help probe and the tests that drive it agree on.
#include "SharedUtil.Windows.h"

constexpr const wchar_t* TROUBLE_HELP_PROBE_FILE_NAME = L"trouble_help_probe.exe";
// OfferTroubleHelp returned; a terminating flag gives exit code 1 instead.
constexpr DWORD PROBE_OFFER_RETURNED = 100;
// ProcessPendingTroubleHelp's result is added to this.
constexpr DWORD PROBE_PROCESSED = 10;
// Set on each message box: the MB_ICON* bits of the icon it shows.
constexpr const wchar_t* PROBE_ICON_PROPERTY = L"ValdrenneProbeIcon";
// A message box whose icon is none of the system's four.
constexpr UINT_PTR PROBE_ICON_UNKNOWN = 0xFF;
