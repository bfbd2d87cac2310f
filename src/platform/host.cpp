#include "platform/host.h"

#include <chrono>
#include <cstdlib>
#include <ctime>

#include "platform/text.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace listelo {

namespace {

// Days since 1970-01-01 of a civil date (proleptic Gregorian calendar).
long long DaysFromCivil(long long year, int month, int day) {
  year -= month <= 2;
  const long long era = (year >= 0 ? year : year - 399) / 400;
  const long long year_of_era = year - era * 400;
  const long long day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const long long day_of_era =
      year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

// The local time's distance from UTC, read off the broken-down local time itself, which
// every host gives the same way.
int UtcOffsetMinutes(const std::tm& local, std::time_t seconds) {
  const long long local_seconds =
      DaysFromCivil(local.tm_year + 1900LL, local.tm_mon + 1, local.tm_mday) * 86400 +
      local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
  return static_cast<int>((local_seconds - static_cast<long long>(seconds)) / 60);
}

}  // namespace

DateTime SystemClock::Now() const {
  auto now = std::chrono::system_clock::now();
  std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &seconds);
#else
  localtime_r(&seconds, &local);
#endif
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
  DateTime dt;
  dt.year = local.tm_year + 1900;
  dt.month = local.tm_mon + 1;
  dt.day = local.tm_mday;
  dt.hour = local.tm_hour;
  dt.minute = local.tm_min;
  dt.second = local.tm_sec;
  dt.millisecond = static_cast<int>(ms.count());
  dt.day_of_week = local.tm_wday;
  dt.utc_offset_minutes = UtcOffsetMinutes(local, seconds);
  return dt;
}

std::optional<std::string> ProcessEnvironment::Get(std::string_view name) const {
  const char* value = std::getenv(std::string(name).c_str());
  if (value == nullptr) return std::nullopt;
#ifdef _WIN32
  return std::string(value);
#else
  return Utf8ToAnsi(value);
#endif
}

std::string UserTempFolder(const Environment& environment) {
  if (std::optional<std::string> temp = environment.Get("TEMP"); temp && !temp->empty()) {
    return *temp;
  }
  return environment.Get("Windir").value_or(std::string()) + "\\TEMP";
}

std::optional<std::string> MapEnvironment::Get(std::string_view name) const {
  auto it = vars_.find(std::string(name));
  if (it == vars_.end()) return std::nullopt;
  return it->second;
}

std::filesystem::path RunningExecutablePath() {
#ifdef _WIN32
  char buffer[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  return n == 0 ? std::filesystem::path() : std::filesystem::path(std::string(buffer, n));
#else
  std::error_code ec;
  auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : p;
#endif
}

}  // namespace listelo
