// The program with its window: the application object, the main window, the loop.
#pragma once

#include <string>
#include <vector>

#include "platform/host.h"

namespace listelo {

// Creates the window (which starts the export when `arguments` holds exactly one
// target), shows it and runs the event loop until it closes. `argc` and `argv` go to
// the application object unchanged.
int RunWindow(const Host& host, const std::vector<std::string>& arguments, int argc, char** argv);

}  // namespace listelo
