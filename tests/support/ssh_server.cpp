#include "support/ssh_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "app/run.h"
#include "support/ftp_server.h"

extern char** environ;

namespace listelo::testing {

namespace fs = std::filesystem;

namespace {

constexpr const char* kSshd = "/usr/sbin/sshd";

// Starts `argv` with its output going to `log`; -1 when it cannot start.
pid_t Spawn(const std::vector<std::string>& argv, const fs::path& log) {
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                   O_WRONLY | O_CREAT | O_APPEND, 0600);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  pid_t pid = -1;
  int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return spawned == 0 ? pid : -1;
}

// Starts sshd with its output going to `log`, bound to end with this process: a test
// program that is killed (or crashes) must not leave a server behind.
pid_t SpawnServer(const std::vector<std::string>& argv, const fs::path& log) {
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid != 0) return pid;
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (getppid() != parent) _exit(1);  // the parent ended before the line above
  int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (out < 0 || in < 0) _exit(1);
  dup2(in, STDIN_FILENO);
  dup2(out, STDOUT_FILENO);
  dup2(out, STDERR_FILENO);
  execv(args[0], args.data());
  _exit(127);
}

void RunProgram(const std::vector<std::string>& argv, const fs::path& log) {
  pid_t pid = Spawn(argv, log);
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    throw std::runtime_error(argv[0] + " failed, see " + log.string());
  }
}

bool PortAccepts(int port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  bool accepted = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return accepted;
}

std::string CurrentUser() {
  const passwd* entry = getpwuid(geteuid());
  if (entry == nullptr) throw std::runtime_error("the current user has no name");
  return entry->pw_name;
}

// "type base64" of a public key file, without its comment.
std::string PublicKey(const fs::path& private_key) {
  std::string text = ReadFile(private_key.string() + ".pub");
  size_t first = text.find(' ');
  size_t second = first == std::string::npos ? first : text.find_first_of(" \n", first + 1);
  return text.substr(0, second);
}

}  // namespace

SshServer::SshServer()
    : login_folder_(state_ / "login"),
      user_(CurrentUser()),
      authorized_key_(MakeKey("authorized", "")),
      passphrase_key_(MakeKey("protected", "open sesame")),
      stranger_key_(MakeKey("stranger", "")),
      host_key_(MakeKey("host", "").file),
      other_host_key_(MakeKey("other_host", "").file) {
  fs::create_directories(login_folder_);
  WriteFile(state_ / "authorized_keys",
            PublicKey(authorized_key_.file) + "\n" + PublicKey(passphrase_key_.file) + "\n");
  // As root, sshd wants its privilege separation folder, which a machine that never ran
  // the system's sshd may not have.
  if (geteuid() == 0) fs::create_directories("/run/sshd");
  // A port found free may be taken before sshd binds it: then another one.
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (Launch()) return;
  }
  throw std::runtime_error("sshd did not start, see " + (state_ / "sshd.log").string());
}

SshServer::~SshServer() {
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
}

SshServer* SshServer::Shared(std::string* why) {
  if (access(kSshd, X_OK) != 0) {
    *why = std::string(kSshd) + " is missing (Debian package openssh-server)";
    return nullptr;
  }
  static SshServer server;
  return &server;
}

SshServer::ClientKey SshServer::MakeKey(const std::string& name,
                                        const std::string& passphrase) const {
  // Ed25519: the SSH library behind curl signs RSA keys only with SHA-1, which OpenSSH
  // refuses.
  fs::path file = state_ / name;
  RunProgram(
      {"ssh-keygen", "-q", "-t", "ed25519", "-N", passphrase, "-C", name, "-f", file.string()},
      state_ / "ssh-keygen.log");
  return {file, passphrase};
}

bool SshServer::Launch() {
  port_ = UnusedPort();
  const fs::path config = state_ / "sshd_config";
  const std::vector<std::string> lines = {
      "ListenAddress 127.0.0.1",
      "Port " + std::to_string(port_),
      "HostKey " + host_key_.string(),
      "AuthorizedKeysFile " + (state_ / "authorized_keys").string(),
      "PidFile " + (state_ / "sshd.pid").string(),
      "PubkeyAuthentication yes",
      "PasswordAuthentication no",
      "KbdInteractiveAuthentication no",
      "PermitRootLogin prohibit-password",
      "UsePAM no",
      "StrictModes no",
      "Subsystem sftp internal-sftp -d " + login_folder_.string(),
  };
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  WriteFile(config, text);
  pid_ = SpawnServer({kSshd, "-D", "-e", "-f", config.string()}, state_ / "sshd.log");
  if (pid_ < 0) return false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    if (PortAccepts(port_)) return true;
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) return false;  // it gave up
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
  return false;
}

std::string SshServer::HostPort() const { return "127.0.0.1:" + std::to_string(port_); }

fs::path SshServer::KnownHosts(HostEntry entry) const {
  const std::string address = "[127.0.0.1]:" + std::to_string(port_);
  std::string line;
  switch (entry) {
    case HostEntry::kRight:
      line = address + " " + PublicKey(host_key_);
      break;
    case HostEntry::kChanged:
      line = address + " " + PublicKey(other_host_key_);
      break;
    case HostEntry::kMissing:
      line = "[127.0.0.2]:" + std::to_string(port_) + " " + PublicKey(host_key_);
      break;
  }
  fs::path file = state_ / ("known_hosts_" + std::to_string(static_cast<int>(entry)));
  if (!fs::exists(file)) WriteFile(file, line + "\n");
  return file;
}

std::string SshServer::NewFolder() {
  std::string name = "case" + std::to_string(++folders_);
  fs::create_directories(login_folder_ / name);
  return name;
}

int SshServer::Logins() const {
  const std::string log = ReadFile(state_ / "sshd.log");
  int logins = 0;
  for (size_t at = log.find("Accepted publickey"); at != std::string::npos;
       at = log.find("Accepted publickey", at + 1)) {
    ++logins;
  }
  return logins;
}

std::string SshServer::SftpSection(const std::string& section, const ClientKey& key) const {
  std::string text = "[" + section + "]\r\nProtocol=SFTP\r\nSshKey=" + key.file.string() +
                     "\r\nSshKnownHosts=" + KnownHosts(HostEntry::kRight).string() + "\r\n";
  if (!key.passphrase.empty()) text += "SshKeyPassphrase=" + key.passphrase + "\r\n";
  return text;
}

void UseSshServerAsGateway(Run& run, const SshServer& server, const std::string& folder) {
  WindowPort& window = run.window();
  window.SetField(Field::kServeur, server.HostPort());
  window.SetField(Field::kUser, server.user());
  window.SetField(Field::kPassword, "not-the-login");
  window.SetField(Field::kRepert, folder);
}

void UseSshServerAsImageServer(Run& run, const SshServer& server, const std::string& folder) {
  WindowPort& window = run.window();
  window.SetField(Field::kServeurVOImages, server.HostPort());
  window.SetField(Field::kUserVOImages, server.user());
  window.SetField(Field::kPasswordVOImages, "not-the-login");
  window.SetField(Field::kRepertVOImages, folder);
}

}  // namespace listelo::testing
