// One FTP client of the window (the image server's or the portal gateway's), on libcurl.
// The same client speaks SFTP when its endpoint asks for it (see "SFTP" below).
//
// The client keeps one curl handle, and with it one control connection, from the first
// successful Connect until Disconnect or its end: every later request of the client goes
// over that connection with the host, account and folder given to Connect, whatever the
// window's fields say by then. Requests work relative to the folder: curl changes into it
// once and only again after a request that needed another folder.
//
// Data connections are active (PORT with the control connection's local address and a
// port chosen by the system) unless the endpoint asks for passive mode. Status
// notifications go to the window's message list, never to the log file; while a request
// waits, pending window events run.
//
// SFTP: the same requests over one SSH session. The folder is relative to the folder the
// server starts the session in (an absolute one when it starts with "/"); connecting
// checks that it exists, as CWD does for FTP. The server's host key must be in the
// endpoint's known_hosts file: a server that is missing from it or shows another key is
// refused, and nothing is ever added to the file. Existence questions are answered by
// opening the file without reading it (libcurl has no SFTP command that only asks for
// the attributes) instead of MDTM.
#pragma once

#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "app/window_port.h"
#include "delivery/ftp_timeouts.h"

namespace listelo {

enum class FileProtocol {
  kFtp,
  kSftp,  // SFTP over SSH, port 22 unless the server field names one
};

// How an SFTP client proves who it is and knows the server.
struct SshSettings {
  std::filesystem::path key_file;     // private key; empty: the password is the login
  std::string key_passphrase;         // empty for a key without one
  std::filesystem::path known_hosts;  // must hold the server's host key
};

// Where a client connects: the window's four fields plus the connection modes.
struct FtpEndpoint {
  std::string server;  // "host", "host:port", "[v6 address]:port" or a bare v6 address
  std::string user;
  std::string password;
  std::string folder;    // relative to the login folder; empty = stay there
  bool passive = false;  // passive data connections instead of PORT
  bool tls = false;      // explicit FTPS (AUTH TLS), required for control and data
  FileProtocol protocol = FileProtocol::kFtp;
  SshSettings ssh;  // SFTP only
  // Why the configuration names no protocol this client speaks; Connect then fails with
  // it and contacts nothing.
  std::string unusable;
};

// A host and port read from the server field.
struct FtpAddress {
  std::string host;  // without brackets
  int port = 21;
  // "host:port", the v6 address in brackets.
  std::string Authority() const;
};

// Reads "host", "host:port", "[v6]", "[v6]:port" or a bare v6 address (`default_port`
// without a port). Empty for an empty host, a port outside 1..65535 or characters that
// have no place in a host name.
std::optional<FtpAddress> ParseFtpServer(std::string_view server, int default_port = 21);

// True when `reply` is "213 " followed by a valid time stamp YYYYMMDDHHMMSS, optionally
// with "." and a fraction of a second.
bool IsValidMdtmReply(std::string_view reply);

enum class FtpStoreResult {
  kStored,
  kNotConnected,    // no connection to store through
  kLocalFile,       // the local file could not be opened; nothing was sent
  kDataConnection,  // no data connection could be made (PORT refused)
  kFailed,          // refused transfer
  kConnectionLost,  // the transfer timed out or broke; the connection is closed and
                    // connect_failed() set
};

class FtpClient {
 public:
  FtpClient(WindowPort& window, const FtpTimeouts& timeouts);
  ~FtpClient();
  FtpClient(const FtpClient&) = delete;
  FtpClient& operator=(const FtpClient&) = delete;

  bool connected() const { return connected_; }
  // A connection attempt failed (or the open connection broke or timed out, also during
  // an upload) and none succeeded since.
  bool connect_failed() const { return connect_failed_; }
  // An upload found that no data connection can be made to or from the server.
  bool data_connection_failed() const { return data_connection_failed_; }

  // Connects, logs in and changes into the endpoint's folder. On any failure (host
  // unreachable, login refused, folder refused) the client is left disconnected.
  bool Connect(const FtpEndpoint& endpoint);

  bool sftp() const { return endpoint_.protocol == FileProtocol::kSftp; }

  // Asks "MDTM name" on the open connection and returns the server's reply line ("213
  // 20260102030405"), or nothing when the connection failed; the connection is then
  // closed and connect_failed() is set. FTP only.
  std::optional<std::string> Mdtm(std::string_view name);

  // Whether the server holds file `name` (relative to the folder): for FTP a "213" reply
  // with a valid time stamp to MDTM, for SFTP a file the server can open. Nothing when
  // the connection failed, as for Mdtm.
  std::optional<bool> HasFile(std::string_view name);

  // Stores a local file as `remote_name` relative to the folder. A transfer that times
  // out (no reply to STOR or after the data, no connection back from the server, data
  // not read) or breaks closes the connection. With `create_folders`,
  // the folders of a remote name with "/" are made on the server first (once per
  // connection). A refused folder closes the connection.
  FtpStoreResult Store(const std::filesystem::path& local_file, std::string_view remote_name,
                       bool create_folders = false);

  // Closes the control connection (QUIT).
  void Disconnect();

  // The reason of the last failure: the server's refusal when there was one ("552 Disk
  // quota exceeded."), otherwise curl's words.
  const std::string& last_error() const { return last_error_; }

 private:
  struct CurlCleanup {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
  };
  struct SlistFree {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
  };
  using CurlPtr = std::unique_ptr<CURL, CurlCleanup>;
  using SlistPtr = std::unique_ptr<curl_slist, SlistFree>;

  // Prepares the handle for one request on `url`; the handle keeps its connection.
  void PrepareRequest(const std::string& url);
  CURLcode Perform();
  // Why the request that ended with `code` failed, in the server's or curl's words.
  std::string FailureReason(CURLcode code) const;
  // A request that only reaches the folder and sends the `quote` commands there (FTP).
  CURLcode FolderRequest(curl_slist* quote);
  // An SFTP request that logs in when needed and opens `url` without reading it: it
  // fails when the server has no such file or folder.
  CURLcode SftpProbe(const std::string& url);
  void PrepareFtp();
  void PrepareSsh();
  // Why the SSH settings cannot work, found before anything is sent; empty when they can.
  static std::string SshSettingsProblem(const SshSettings& ssh);
  // The folder part of the SFTP URLs ("/~/in/"), and the URL that checks it exists.
  std::string SftpFolderPath() const;
  std::string SftpFolderProbeUrl() const;
  bool RefuseConnection(const std::string& reason);
  std::optional<bool> SftpHasFile(std::string_view name);
  CURLcode Upload(std::FILE* file, std::string_view remote_name, bool create_folders);
  bool MakeFolders(std::string_view remote_name);
  void Drop();
  void Status(const std::string& text);
  std::string FolderUrl() const;

  static size_t OnHeader(char* data, size_t size, size_t count, void* self);
  static size_t OnBody(char* data, size_t size, size_t count, void* self);
  static size_t OnRead(char* data, size_t size, size_t count, void* self);
  static int OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t sent);
  static int OnHostKey(CURL*, const curl_khkey* known, const curl_khkey* found, curl_khmatch match,
                       void* self);
  // Whether the upload under way has sent nothing for the stall time-out while it still
  // had data to send.
  bool UploadStalled(curl_off_t sent);

  WindowPort& window_;
  const FtpTimeouts& timeouts_;
  CurlPtr curl_;
  FtpEndpoint endpoint_;
  FtpAddress address_;
  bool connected_ = false;
  bool connect_failed_ = false;
  bool data_connection_failed_ = false;
  std::set<std::string> made_folders_;  // folders made (or found) on this connection
  std::string last_reply_;
  std::string last_error_;
  // Why the SSH server's host key was refused in the last request; empty when it was not.
  std::string host_key_refusal_;
  bool stale_error_ = false;  // the error buffer was written before a later reply came
  // The upload under way: its file, whether curl has read all of it, and the bytes sent
  // when the progress was last seen to move.
  struct UploadState {
    std::FILE* file = nullptr;
    bool all_read = false;
    curl_off_t sent = 0;
    std::chrono::steady_clock::time_point since;
  };
  std::optional<UploadState> upload_;
  char error_buffer_[CURL_ERROR_SIZE] = {};
};

}  // namespace listelo
