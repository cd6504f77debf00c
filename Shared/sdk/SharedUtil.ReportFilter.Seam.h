#pragma once

#include "SharedUtil.ReportFilter.h"

// The report log's clock, replaceable so that tests can set the time. Shipping
// code never replaces it.
namespace SharedUtil
{
// Seconds since 1970-01-01 UTC, as the system clock tells them.
using ReportClockFunction = ReportTime (*)();

// Installs pFunction (null: the system clock) and returns the one before.
ReportClockFunction SetReportClockFunction(ReportClockFunction pFunction);
} // namespace SharedUtil
