// The state of one run and the services it is handed: the host (clock, environment,
// executable), the window, the regional settings, the configuration and the run log.
// Exporters receive the run and do everything through it; there is no global state.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/files.h"
#include "app/ini_file.h"
#include "app/window_port.h"
#include "delivery/ftp_timeouts.h"
#include "platform/host.h"
#include "platform/paths.h"
#include "platform/regional.h"

namespace listelo {

class FtpClient;

// One file handed to a gateway, for the run history.
struct DeliveryRecord {
  std::string file;     // Windows-form path
  std::uintmax_t size;  // bytes, 0 when it was not there
  std::string result;   // the delivery's result text
};

// The longest log line the memo shows whole (the run log always has every line whole).
inline constexpr size_t kMemoLineLimit = 4096;

// The run state that every part of a run shares.
struct RunState {
  std::string export_target;  // upper-cased known target key, or empty
  std::string path_images;    // local photo folder (Options/PathImages)
  std::string url_images;     // web address prefix of the photos (Options/URLImages)
  bool run_finished = false;
  int close_ticks = 0;
  int vehicle_count = 0;
  int photo_count = 0;
  int updated_photo_count = 0;
  // The target's TestFTPVOImages switch: the image server is really asked about photos.
  bool test_ftp_vo_images = false;
  // Photos that were to be uploaded to the image server and did not reach it, and why
  // the first did not.
  int unsent_photo_count = 0;
  std::string first_unsent_photo_reason;
  // Set when the image server proved unusable (no connection, a time-out, a broken
  // transfer, no data connection): the run's remaining uploads are skipped. Why it is.
  bool image_server_given_up = false;
  std::string image_server_failure;
  // The dealer site being delivered in a per-site loop, empty otherwise; it names the
  // site in the delivery's diagnostic lines.
  std::string site_code;
  // Every upload of the run, in order.
  std::vector<DeliveryRecord> deliveries;
  // Started with --force: the collapsed-stock guard is off for this run.
  bool forced = false;
};

class Run {
 public:
  Run(const Host& host, WindowPort& window);
  ~Run();
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  RunState state;

  const Host& host() const { return host_; }
  WindowPort& window() { return window_; }
  const IniFile& ini() const { return ini_; }
  void set_ini(IniFile ini) { ini_ = std::move(ini); }
  RegionalSettings& regional() { return regional_; }
  const RegionalSettings& regional() const { return regional_; }
  const PathMapper& paths() const { return paths_; }

  // Reads a configuration value.
  std::string Config(std::string_view section, std::string_view key,
                     std::string_view default_value) const {
    return ini_.ReadString(section, key, default_value);
  }

  // The value of "Windir", empty when unset; read at each use.
  std::string WindowsFolder() const;

  // A Windows-form path as a path of this host.
  std::filesystem::path HostPath(std::string_view windows_path) const {
    return paths_.ToHost(windows_path);
  }

  // The current local time written with a date-time pattern ("yyyymmddhhnn").
  std::string FormatNow(std::string_view pattern) const;

  // The run log: an empty message empties the log file and adds "-> " to the memo;
  // any other message is appended to the log file with a time stamp, then shown in the
  // memo behind "-> ", cut after kMemoLineLimit characters with a note of how many were
  // left out. Raises IoError when the log file cannot be written.
  void WriteLog(std::string_view message);
  // The message `head` + `tail`, without joining them first (a tail can be a whole
  // document).
  void WriteLog(std::string_view head, std::string_view tail);

  // Windows folder + "\TEMP\RadoveDuvude" + ExportTarget + ".log".
  std::string LogFileName() const;

  // The window's two FTP clients, made on first use; each keeps its connection until the
  // run object ends. IdFTP1 serves the image server, IdFTP2 the portal gateway.
  FtpClient& ImageServerFtp();
  FtpClient& GatewayFtp();
  // The clients' time-outs; a change applies to their next request.
  FtpTimeouts& ftp_timeouts() { return ftp_timeouts_; }

 private:
  const Host& host_;
  WindowPort& window_;
  PathMapper paths_;
  RegionalSettings regional_;
  IniFile ini_;
  FtpTimeouts ftp_timeouts_;
  // The log file's name, where it lies on this host, and the file itself: the name only
  // changes with the target, so it is looked up once, not for every line.
  std::string log_name_;
  std::filesystem::path log_path_;
  LogFileWriter log_file_;
  // The last log line's time stamp: lines come many to the second on a big stock.
  struct LogStamp {
    DateTime when;
    RegionalSettings settings;
    std::string text;
  };
  std::optional<LogStamp> log_stamp_;
  std::unique_ptr<FtpClient> image_server_ftp_;
  std::unique_ptr<FtpClient> gateway_ftp_;
};

}  // namespace listelo
