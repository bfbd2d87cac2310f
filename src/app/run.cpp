#include "app/run.h"

#include "app/files.h"

namespace listelo {

Run::Run(const Host& host, WindowPort& window)
    : host_(host), window_(window), paths_(PathMapper::FromEnvironment(host.environment)) {}

std::string Run::WindowsFolder() const {
  return host_.environment.Get("Windir").value_or(std::string());
}

std::string Run::FormatNow(std::string_view pattern) const {
  return FormatDateTime(pattern, host_.clock.Now(), regional_);
}

std::string Run::LogFileName() const {
  return WindowsFolder() + "\\TEMP\\RadoveDuvude" + state.export_target + ".log";
}

void Run::WriteLog(std::string_view message) {
  std::filesystem::path file = HostPath(LogFileName());
  if (message.empty()) {
    WriteFileBytes(file, "", FileWriteMode::kTruncate, FilePrivacy::kOwnerOnly);
    window_.AddLine("-> ");
    return;
  }
  std::string entry = FormatNow("ddddd tt") + " - ";
  entry.append(message);
  WriteFileBytes(file, entry + "\r\n", FileWriteMode::kAppend, FilePrivacy::kOwnerOnly);
  window_.AddLine("-> " + entry);
}

}  // namespace listelo
