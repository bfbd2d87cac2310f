#include "app/run.h"

#include "app/files.h"
#include "delivery/ftp_client.h"

namespace listelo {

Run::Run(const Host& host, WindowPort& window)
    : host_(host), window_(window), paths_(PathMapper::FromEnvironment(host.environment)) {}

Run::~Run() = default;

FtpClient& Run::ImageServerFtp() {
  if (!image_server_ftp_) image_server_ftp_ = std::make_unique<FtpClient>(window_, ftp_timeouts_);
  return *image_server_ftp_;
}

FtpClient& Run::GatewayFtp() {
  if (!gateway_ftp_) gateway_ftp_ = std::make_unique<FtpClient>(window_, ftp_timeouts_);
  return *gateway_ftp_;
}

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
