#include "platform/host.h"

#include <chrono>
#include <cstdlib>
#include <ctime>

#include "platform/text.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace listelo {

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
