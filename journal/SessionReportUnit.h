// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RunReportUnit.h"
#include "SeriesStoreUnit.h"
#include "SqliteUnit.h"

#include <cstdint>

// The newest session in the journal, 0 when it holds none.
std::int64_t LatestSession(TSqliteDatabase& Db);

// The report of a kept session: its readings go through the consumer's
// rules into Store (for the chart), and the journal adds what only it
// knows: clock times, the end, disconnects, readings it could not keep and
// the alarms raised while it ran. "No session N in the journal" when absent.
TRunReport ReportSession(TSqliteDatabase& Db, std::int64_t Session, TSeriesStore& Store);
