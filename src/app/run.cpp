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

namespace {

// The memo's copy of a log entry. A whole rewritten document is one log line: shown
// whole, tens of megabytes a night would go to a scheduler's output file and make the
// window's list sluggish.
std::string MemoLine(std::string_view entry, std::string_view rest = {}) {
  std::string line = "-> ";
  const size_t size = entry.size() + rest.size();
  if (line.size() + size <= kMemoLineLimit) return line.append(entry).append(rest);
  const size_t shown = kMemoLineLimit - line.size();
  line.append(entry.substr(0, shown));
  if (shown > entry.size()) line.append(rest.substr(0, shown - entry.size()));
  line += "… (";
  line += std::to_string(size - shown);
  line += " caractères non affichés, la ligne entière est dans le journal)";
  return line;
}

// Above this a log line's tail is written as it is held, not copied into the line first.
constexpr size_t kCopiedTailLimit = size_t{1} << 16;

}  // namespace

std::string Run::LogFileName() const {
  return WindowsFolder() + "\\TEMP\\RadoveDuvude" + state.export_target + ".log";
}

void Run::WriteLog(std::string_view message) { WriteLog(message, {}); }

void Run::WriteLog(std::string_view head, std::string_view tail) {
  if (std::string name = LogFileName(); name != log_name_) {
    log_path_ = HostPath(name);
    log_name_ = std::move(name);
  }
  if (head.empty() && tail.empty()) {
    log_file_.Truncate(log_path_);
    window_.AddLine("-> ");
    return;
  }
  const DateTime now = host_.clock.Now();
  if (!log_stamp_ || log_stamp_->when != now || log_stamp_->settings != regional_) {
    log_stamp_ = LogStamp{now, regional_, FormatDateTime("ddddd tt", now, regional_)};
  }
  std::string entry = log_stamp_->text;
  entry.append(" - ").append(head);
  if (tail.size() > kCopiedTailLimit) {
    // A whole rewritten document: three writes to the file instead of a copy of it.
    log_file_.Append(log_path_, entry);
    log_file_.Append(log_path_, tail);
    log_file_.Append(log_path_, "\r\n");
    window_.AddLine(MemoLine(entry, tail));
    return;
  }
  entry.append(tail).append("\r\n");
  log_file_.Append(log_path_, entry);
  entry.resize(entry.size() - 2);
  window_.AddLine(MemoLine(entry));
}

}  // namespace listelo
