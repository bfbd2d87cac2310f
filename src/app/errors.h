// Errors that end a run. Each carries the text that the window shows in its error box
// (and that a headless run prints on standard error).
#pragma once

#include <stdexcept>
#include <string>

namespace listelo {

class RunError : public std::runtime_error {
 public:
  explicit RunError(const std::string& message) : std::runtime_error(message) {}
};

// A file that the run must write (the run log, a file of an exporter) could not be.
class IoError : public RunError {
 public:
  using RunError::RunError;
};

}  // namespace listelo
