#include "support/smtp_server.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "support/temp_tree.h"

extern char** environ;

namespace listelo::testing {
namespace fs = std::filesystem;

bool SmtpRecord::Delivered() const { return fs::exists(folder_ / "raw.eml"); }

std::string SmtpRecord::Text(const std::string& name) const {
  return fs::exists(folder_ / name) ? ReadFile(folder_ / name) : std::string();
}

std::vector<std::string> SmtpRecord::Lines(const std::string& name) const {
  std::vector<std::string> lines;
  std::istringstream in(Text(name));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

SmtpServers& SmtpServers::Shared() {
  static SmtpServers servers;  // lives until the test program ends
  return servers;
}

SmtpServers::SmtpServers() {
  static TempTree records;  // outlives the server, which writes into it
  records_ = records.path();
  int to_child[2];
  int from_child[2];
  if (pipe(to_child) != 0 || pipe(from_child) != 0) throw std::runtime_error("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, to_child[0], 0);
  posix_spawn_file_actions_adddup2(&actions, from_child[1], 1);
  posix_spawn_file_actions_addclose(&actions, to_child[1]);
  posix_spawn_file_actions_addclose(&actions, from_child[0]);
  const std::string script = std::string(LISTELO_TEST_SUPPORT) + "/smtp_server.py";
  const std::string records_arg = records_.string();
  char* argv[] = {const_cast<char*>(LISTELO_PYTHON), const_cast<char*>(script.c_str()),
                  const_cast<char*>(records_arg.c_str()), nullptr};
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, LISTELO_PYTHON, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(to_child[0]);
  close(from_child[1]);
  if (spawned != 0) throw std::runtime_error("cannot start " + script);
  to_server_ = to_child[1];  // never closed here: the server ends with this process

  FILE* out = fdopen(from_child[0], "r");
  char line[128];
  while (out != nullptr && std::fgets(line, sizeof line, out) != nullptr) {
    char mode[32];
    int port = 0;
    if (std::sscanf(line, "%31s %d", mode, &port) == 2) ports_[mode] = port;
    if (std::string(line).rfind("READY", 0) == 0) break;
  }
  if (out != nullptr) std::fclose(out);
  if (ports_.size() != 4) throw std::runtime_error("the SMTP servers did not start");
}

std::vector<SmtpRecord> SmtpServers::Records(const std::string& mode) const {
  std::vector<fs::path> folders;
  for (const auto& entry : fs::directory_iterator(records_)) {
    if (entry.path().filename().string().rfind(mode + "-", 0) == 0) {
      folders.push_back(entry.path());
    }
  }
  std::sort(folders.begin(), folders.end());
  std::vector<SmtpRecord> records;
  for (const fs::path& folder : folders) {
    SmtpRecord record(folder);
    // The server may still be writing down the end of a connection the client has left.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while ((record.Commands().empty() || record.Commands().back() != "CLOSED") &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    records.push_back(record);
  }
  return records;
}

}  // namespace listelo::testing
