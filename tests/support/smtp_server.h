// The SMTP servers of tests/support/smtp_server.py, started once per test program on
// 127.0.0.1 and stopped when the program ends, and what they recorded of each connection.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace listelo::testing {

// One connection as the server saw it; see smtp_server.py for the files.
class SmtpRecord {
 public:
  explicit SmtpRecord(std::filesystem::path folder) : folder_(std::move(folder)) {}

  std::vector<std::string> Commands() const { return Lines("commands"); }
  bool Delivered() const;
  // The file `name` (UTF-8 for the parsed texts), empty when missing.
  std::string Text(const std::string& name) const;
  std::vector<std::string> Lines(const std::string& name) const;

 private:
  std::filesystem::path folder_;
};

class SmtpServers {
 public:
  // The servers of this program, started at the first call.
  static SmtpServers& Shared();

  // Port of "login", "plain", "noauth" or "helo".
  int Port(const std::string& mode) const { return ports_.at(mode); }

  // Connections to `mode` in the order they came, each once it has ended.
  std::vector<SmtpRecord> Records(const std::string& mode) const;

 private:
  SmtpServers();
  std::filesystem::path records_;
  std::map<std::string, int> ports_;
  int to_server_ = -1;  // its standard input; the server stops when this closes
};

}  // namespace listelo::testing
