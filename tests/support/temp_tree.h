// Test helpers: a temporary folder that disappears with the test, file reading and
// writing, and a run wired to a headless window, a fixed clock and a set environment.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "app/run.h"
#include "app/window_port.h"
#include "platform/host.h"

namespace listelo::testing {

class TempTree {
 public:
  TempTree();
  ~TempTree();
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& relative) const { return path_ / relative; }

 private:
  std::filesystem::path path_;
};

std::string ReadFile(const std::filesystem::path& file);
void WriteFile(const std::filesystem::path& file, const std::string& bytes);

// A run whose drives live in a temporary tree: LISTELO_ROOT is the tree, "Windir" is
// "c:\windows" with its TEMP folder created, the clock stands at 08/12/2026 14:03:09,
// the configuration is `ini_text` (written to <tree>/Listelo.ini) unless null.
class RunFixture {
 public:
  explicit RunFixture(const char* ini_text = "");

  Run& run() { return *run_; }
  HeadlessWindow& window() { return window_; }
  MapEnvironment& environment() { return environment_; }
  FixedClock& clock() { return clock_; }
  const TempTree& tree() const { return tree_; }
  std::filesystem::path HostPath(const std::string& windows_path) const {
    return run_->HostPath(windows_path);
  }

  static DateTime DefaultNow();

 private:
  TempTree tree_;
  MapEnvironment environment_;
  FixedClock clock_;
  HeadlessWindow window_;
  std::unique_ptr<Host> host_;
  std::unique_ptr<Run> run_;
};

}  // namespace listelo::testing
