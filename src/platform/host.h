// The services of the host that a run depends on - its clock, its environment
// variables and the place of the executable - behind small interfaces, so that tests
// can set them.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace listelo {

// A local date and time, as the clock reads it.
struct DateTime {
  int year = 2000;
  int month = 1;   // 1..12
  int day = 1;     // 1..31
  int hour = 0;    // 0..23
  int minute = 0;  // 0..59
  int second = 0;  // 0..59
  int millisecond = 0;
  int day_of_week = 6;  // 0 = Sunday .. 6 = Saturday

  bool operator==(const DateTime&) const = default;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual DateTime Now() const = 0;
};

// Local time of the machine.
class SystemClock : public Clock {
 public:
  DateTime Now() const override;
};

// Always the same moment; for tests.
class FixedClock : public Clock {
 public:
  explicit FixedClock(DateTime now) : now_(now) {}
  DateTime Now() const override { return now_; }
  void Set(DateTime now) { now_ = now; }

 private:
  DateTime now_;
};

// Environment variables. Values come back as Windows-1252 text.
class Environment {
 public:
  virtual ~Environment() = default;
  virtual std::optional<std::string> Get(std::string_view name) const = 0;
};

// The process environment.
class ProcessEnvironment : public Environment {
 public:
  std::optional<std::string> Get(std::string_view name) const override;
};

// A fixed set of variables; for tests and for runs that must not see the process's.
class MapEnvironment : public Environment {
 public:
  MapEnvironment() = default;
  explicit MapEnvironment(std::map<std::string, std::string> vars) : vars_(std::move(vars)) {}
  std::optional<std::string> Get(std::string_view name) const override;
  void Set(const std::string& name, const std::string& value) { vars_[name] = value; }
  void Unset(const std::string& name) { vars_.erase(name); }

 private:
  std::map<std::string, std::string> vars_;
};

// The user's folder for temporary files: the variable "TEMP". Where it is unset or empty
// (it usually is unset on POSIX hosts), the Windows folder ("Windir") + "\TEMP", so that files
// meant for it still land in a folder of the dealer's tree rather than in the working
// folder of the process.
std::string UserTempFolder(const Environment& environment);

// The full path of the running executable, empty when the host cannot tell.
std::filesystem::path RunningExecutablePath();

// What a run needs of its host. The references must outlive the run.
struct Host {
  const Environment& environment;
  const Clock& clock;
  std::filesystem::path executable;  // full path of the program file
};

}  // namespace listelo
