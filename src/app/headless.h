// A run without a window, for schedulers: memo lines go to standard output as they
// are added and the process ends with the run.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "platform/host.h"

namespace listelo {

enum HeadlessExit : int {
  kExitFinished = 0,      // RunFinished was set
  kExitRunError = 1,      // an error ended the run (its text on standard error)
  kExitBadArguments = 2,  // no target, several, or an unknown one
  kExitUnfinished = 3,    // the target's exporter ended without finishing the run
};

// With `forced` the collapsed-stock guard is off for this run (listelo --force).
int RunHeadless(const Host& host, const std::vector<std::string>& arguments, std::ostream& out,
                std::ostream& err, bool forced = false);

// True when no window can be shown: LISTELO_HEADLESS=1, or on POSIX hosts without
// DISPLAY and WAYLAND_DISPLAY.
bool HeadlessWanted(const Environment& env);

}  // namespace listelo
