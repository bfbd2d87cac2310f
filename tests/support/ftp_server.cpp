#include "support/ftp_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "app/run.h"

extern char** environ;

namespace listelo::testing {

namespace fs = std::filesystem;

namespace {

// prefix + number, built by appending (GCC 12 warns wrongly about "text" + to_string()).
std::string Numbered(const char* prefix, size_t number) {
  std::string text = prefix;
  text += std::to_string(number);
  return text;
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

// Reads the child's first line ("PORT <n>") within a few seconds.
int ReadPort(int fd) {
  std::string line;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (line.find('\n') == std::string::npos) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return 0;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) return 0;
    char buffer[64];
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) return 0;
    line.append(buffer, static_cast<size_t>(n));
  }
  if (!line.starts_with("PORT ")) return 0;
  return std::atoi(line.c_str() + 5);
}

const char* FaultName(FtpServer::Fault fault) {
  switch (fault) {
    case FtpServer::Fault::kNone:
      return "";
    case FtpServer::Fault::kSilentStor:
      return "stor_silent";
    case FtpServer::Fault::kNoFinalReply:
      return "no_final_reply";
    case FtpServer::Fault::kNoRead:
      return "no_read";
    case FtpServer::Fault::kNoConnectBack:
      return "no_connect_back";
    case FtpServer::Fault::kQuotaAfterData:
      return "quota_after_data";
    case FtpServer::Fault::kReset:
      return "reset";
  }
  return "";
}

int LoopbackSocket(int* port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    close(fd);
    throw std::runtime_error("bind");
  }
  *port = ntohs(address.sin_port);
  return fd;
}

}  // namespace

FtpServer::FtpServer() {
  WriteUsers();
  std::vector<std::string> candidates;
  if (const char* python = std::getenv("LISTELO_PYTHON")) candidates.emplace_back(python);
  // The distribution's interpreter carries python3-pyftpdlib; a python3 earlier on PATH
  // (a virtual environment) may not.
  candidates.emplace_back("/usr/bin/python3");
  candidates.emplace_back("python3");
  for (const std::string& python : candidates) {
    if (Launch(python)) return;
  }
  throw std::runtime_error("the test FTP server did not start (is python3-pyftpdlib installed?)");
}

bool FtpServer::Launch(const std::string& python) {
  int to_child[2];
  int from_child[2];
  if (pipe2(to_child, O_CLOEXEC) != 0) return false;
  if (pipe2(from_child, O_CLOEXEC) != 0) {
    close(to_child[0]);
    close(to_child[1]);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, to_child[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, from_child[1], STDOUT_FILENO);
  std::string script = LISTELO_TEST_SUPPORT "/ftp_server.py";
  std::string state = state_.path().string();
  std::vector<char*> argv = {const_cast<char*>(python.c_str()), const_cast<char*>(script.c_str()),
                             const_cast<char*>(state.c_str()), nullptr};
  pid_t pid = -1;
  int spawned = posix_spawnp(&pid, python.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(to_child[0]);
  close(from_child[1]);
  int port = spawned == 0 ? ReadPort(from_child[0]) : 0;
  close(from_child[0]);
  if (port == 0) {
    close(to_child[1]);
    if (spawned == 0) {
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
    }
    return false;
  }
  pid_ = pid;
  stdin_fd_ = to_child[1];
  port_ = port;
  return true;
}

FtpServer::~FtpServer() {
  close(stdin_fd_);  // the server stops when its input closes
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
}

FtpServer& FtpServer::Shared() {
  static FtpServer server;
  return server;
}

std::string FtpServer::HostPort() const { return Numbered("127.0.0.1:", port_); }

FtpServer::Account FtpServer::NewAccount(const std::string& permissions, bool refuse_port) {
  Account account;
  account.user = Numbered("u", accounts_.size() + 1);
  account.password = Numbered("pw", accounts_.size() + 1);
  account.home = state_.path() / "home" / account.user;
  fs::create_directories(account.home);
  accounts_.push_back(account);
  permissions_.push_back(permissions);
  refuse_port_.push_back(refuse_port);
  faults_.push_back(Fault::kNone);
  login_folders_.emplace_back();
  refuse_stor_.emplace_back();
  WriteUsers();
  return account;
}

FtpServer::Account FtpServer::NewAccountStartingIn(const std::string& login_folder) {
  Account account = NewAccount();
  fs::create_directories(account.home / login_folder);
  login_folders_.back() = login_folder;
  WriteUsers();
  return account;
}

FtpServer::Account FtpServer::NewFaultyAccount(Fault fault) {
  Account account = NewAccount();
  faults_.back() = fault;
  WriteUsers();
  return account;
}

void FtpServer::RefuseStore(const Account& account, const std::string& file_name) {
  for (size_t i = 0; i < accounts_.size(); ++i) {
    if (accounts_[i].user == account.user) refuse_stor_[i].push_back(file_name);
  }
  WriteUsers();
}

void FtpServer::WriteUsers() const {
  std::ostringstream json;
  json << "{";
  for (size_t i = 0; i < accounts_.size(); ++i) {
    json << (i ? "," : "") << JsonString(accounts_[i].user)
         << ":{\"password\":" << JsonString(accounts_[i].password)
         << ",\"home\":" << JsonString(accounts_[i].home)
         << ",\"perm\":" << JsonString(permissions_[i])
         << ",\"refuse_port\":" << (refuse_port_[i] ? "true" : "false")
         << ",\"fault\":" << JsonString(FaultName(faults_[i]))
         << ",\"login_folder\":" << JsonString(login_folders_[i]) << ",\"refuse_stor\":[";
    for (size_t n = 0; n < refuse_stor_[i].size(); ++n)
      json << (n ? "," : "") << JsonString(refuse_stor_[i][n]);
    json << "]}";
  }
  json << "}";
  // Replaced in one step: the server may read it at any moment.
  fs::path temporary = state_.path() / "users.json.new";
  WriteFile(temporary, json.str());
  fs::rename(temporary, state_.path() / "users.json");
}

std::vector<std::string> FtpServer::Commands(const std::string& user) const {
  std::vector<std::string> commands;
  std::ifstream log(state_.path() / "commands.log");
  std::string line;
  while (std::getline(log, line)) {
    size_t first = line.find('\t');
    size_t second = first == std::string::npos ? first : line.find('\t', first + 1);
    if (second == std::string::npos) continue;
    if (line.compare(first + 1, second - first - 1, user) == 0) {
      commands.push_back(line.substr(second + 1));
    }
  }
  return commands;
}

bool FtpServer::WaitForClosedSessions(const std::string& user, int sessions,
                                      std::chrono::milliseconds timeout) const {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    int closed = 0;
    for (const std::string& command : Commands(user)) closed += command == "(closed)";
    if (closed >= sessions) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

int UnusedPort() {
  int port = 0;
  close(LoopbackSocket(&port));
  return port;
}

SilentServer::SilentServer() {
  fd_ = LoopbackSocket(&port_);
  // Connections complete in the backlog; nothing ever accepts or greets them.
  if (listen(fd_, 16) != 0) {
    close(fd_);
    throw std::runtime_error("listen");
  }
}

SilentServer::~SilentServer() { close(fd_); }

std::string SilentServer::HostPort() const { return Numbered("127.0.0.1:", port_); }

void UseFastFtpTimeouts(Run& run) {
  run.ftp_timeouts().connect = std::chrono::seconds(10);
  run.ftp_timeouts().server_reply = std::chrono::seconds(10);
  run.ftp_timeouts().stall = std::chrono::seconds(10);
}

int Count(const std::vector<std::string>& lines, const std::string& prefix) {
  return static_cast<int>(std::count_if(
      lines.begin(), lines.end(), [&](const std::string& l) { return l.starts_with(prefix); }));
}

void UseImageServer(Run& run, const FtpServer& server, const FtpServer::Account& account,
                    const std::string& folder) {
  WindowPort& window = run.window();
  window.SetField(Field::kServeurVOImages, server.HostPort());
  window.SetField(Field::kUserVOImages, account.user);
  window.SetField(Field::kPasswordVOImages, account.password);
  window.SetField(Field::kRepertVOImages, folder);
}

void UseGateway(Run& run, const FtpServer& server, const FtpServer::Account& account,
                const std::string& folder) {
  WindowPort& window = run.window();
  window.SetField(Field::kServeur, server.HostPort());
  window.SetField(Field::kUser, account.user);
  window.SetField(Field::kPassword, account.password);
  window.SetField(Field::kRepert, folder);
}

}  // namespace listelo::testing
