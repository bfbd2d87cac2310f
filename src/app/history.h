// The run history: one JSON object per run, one line each, in Windows folder +
// "\TEMP\Listelo\history.jsonl" (UTF-8, 0600), for monitoring and for the
// collapsed-stock guard. Each line is appended with one write of the whole line.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "platform/host.h"

namespace listelo {

class Run;

// Windows folder + "\TEMP\Listelo\history.jsonl".
std::string HistoryFileName(const Run& run);

// Appends the run's line: target, start and end (ISO 8601 with the UTC offset), exit
// status, counters, deliveries, whether it was forced, the error text. A history that
// cannot be written costs one memo line, never the run.
void AppendRunHistory(Run& run, const DateTime& start, int exit_status, std::string_view error);

// The vehicle count of the target's last finished run (exit status 0) in the history;
// empty when there is none. Lines that do not read are passed over.
std::optional<int> LastFinishedVehicleCount(const Run& run, std::string_view target);

// Prints the last runs (all targets, or `target`'s) as a short table to `out` (UTF-8).
void PrintRunHistory(const Run& run, std::string_view target, std::ostream& out);

// "2026-12-08T14:03:09+01:00".
std::string IsoTime(const DateTime& when);

}  // namespace listelo
