// The command line's options. They begin with "--", which no target does, so a target
// is never taken for one: "listelo --check PARUVENDU", "listelo --version".
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "platform/host.h"

namespace listelo {

// True when the command line asks for an option rather than a run.
bool IsOptionCommandLine(const std::vector<std::string>& arguments);

// Carries out the option: --help, --version, --check TARGET. Returns the exit status;
// a wrong option or a missing target prints the usage on `err` and gives 2.
int RunOption(const Host& host, const std::vector<std::string>& arguments, std::ostream& out,
              std::ostream& err);

}  // namespace listelo
