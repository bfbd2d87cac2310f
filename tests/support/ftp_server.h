// A real FTP server for tests (pyftpdlib, tests/support/ftp_server.py) on 127.0.0.1 at a
// port chosen by the system, with accounts added while it runs, each with its own home
// folder, and a record of every command it received.
//
// Typical use in a test program (one server per program, accounts per test):
//
//   FtpServer& server = FtpServer::Shared();
//   FtpServer::Account gateway = server.NewAccount();      // may store files
//   FtpServer::Account images = server.NewAccount("elr");  // refuses STOR
//   RunFixture f;
//   UseFastFtpTimeouts(f.run());
//   UseGateway(f.run(), server, gateway, "in");            // fills the window's fields
//   ... SendFileFTP(f.run(), ...) ...
//   ReadFile(gateway.home / "in" / "file.zip");
//   server.Commands(gateway.user);                         // {"USER u3", "PASS pw", ...}
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_tree.h"

namespace listelo::testing {

// Every permission: list, change folder, read, and all the writing ones.
inline constexpr const char* kFtpAllPermissions = "elradfmwMT";

class FtpServer {
 public:
  struct Account {
    std::string user;
    std::string password;
    std::filesystem::path home;  // the account's login folder, empty at first
  };

  // How the server fails the uploads of an account, in active mode, as real servers do.
  enum class Fault {
    kNone,
    kSilentStor,      // STOR gets no reply at all
    kNoFinalReply,    // the data is stored, the reply after it never comes
    kNoRead,          // STOR is answered, the data connection is never read
    kNoConnectBack,   // PORT is answered but the server never connects; STOR gets 150
    kQuotaAfterData,  // the data is read, then "552 Disk quota exceeded." (file dropped)
    kReset,           // STOR is answered, then the data and control connections are reset
  };

  // Starts the server; throws std::runtime_error when it cannot.
  FtpServer();
  ~FtpServer();
  FtpServer(const FtpServer&) = delete;
  FtpServer& operator=(const FtpServer&) = delete;

  // One server for the whole test program, started on first use.
  static FtpServer& Shared();

  int port() const { return port_; }
  // "127.0.0.1:<port>", as the server field of the window takes it.
  std::string HostPort() const;

  // A new account with a fresh user name, password and empty home folder. `permissions`
  // are pyftpdlib's letters; leave out "w" for a server that refuses STOR. With
  // `refuse_port` the server refuses PORT, so no active data connection can be made.
  Account NewAccount(const std::string& permissions = kFtpAllPermissions, bool refuse_port = false);
  // A new account with every permission whose uploads fail with `fault`.
  Account NewFaultyAccount(Fault fault);
  // A new account with every permission whose sessions start in home / `login_folder`
  // (made empty); home stays the top it can reach, so ".." climbs to it.
  Account NewAccountStartingIn(const std::string& login_folder);

  // From now on the server answers 550 to a STOR of a file named `file_name` (in any
  // folder) for this account; its other uploads go through.
  void RefuseStore(const Account& account, const std::string& file_name);

  // The command lines that sessions of `user` sent, in order ("USER u1", "PASS pw",
  // "CWD www", "STOR a.zip"); "(closed)" marks the end of a session.
  std::vector<std::string> Commands(const std::string& user) const;

  // Waits until `user` has `sessions` ended sessions; false after `timeout`.
  bool WaitForClosedSessions(const std::string& user, int sessions = 1,
                             std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;

 private:
  void WriteUsers() const;
  bool Launch(const std::string& python);

  TempTree state_;
  std::vector<Account> accounts_;
  std::vector<std::string> permissions_;
  std::vector<bool> refuse_port_;
  std::vector<Fault> faults_;
  std::vector<std::string> login_folders_;
  std::vector<std::vector<std::string>> refuse_stor_;
  pid_t pid_ = -1;
  int stdin_fd_ = -1;
  int port_ = 0;
};

// A port of 127.0.0.1 on which nothing listens (a connection is refused at once).
int UnusedPort();

// Listens on 127.0.0.1 but never answers: a connection opens and no greeting comes.
class SilentServer {
 public:
  SilentServer();
  ~SilentServer();
  SilentServer(const SilentServer&) = delete;
  SilentServer& operator=(const SilentServer&) = delete;
  std::string HostPort() const;

 private:
  int fd_ = -1;
  int port_ = 0;
};

// Time-outs that bound a test that would otherwise hang on the run's long defaults, and
// that a loaded machine does not trip: 10 s to connect, 10 s for a reply, 10 s of
// stalled transfer.
void UseFastFtpTimeouts(Run& run);

// How many of `lines` (server commands, memo lines) start with `prefix`.
int Count(const std::vector<std::string>& lines, const std::string& prefix);

// Fill the window's image-server or gateway fields with the server and an account.
void UseImageServer(Run& run, const FtpServer& server, const FtpServer::Account& account,
                    const std::string& folder = "www/voimages");
void UseGateway(Run& run, const FtpServer& server, const FtpServer::Account& account,
                const std::string& folder = "");

}  // namespace listelo::testing
