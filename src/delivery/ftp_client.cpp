#include "delivery/ftp_client.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/c_file.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace listelo {

namespace {

// A carriage return or line feed in a name would let it carry a second command.
bool HasControlCharacters(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
  });
}

bool IsHostNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_';
}

bool IsV6Character(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' ||
         c == '.';
}

std::optional<int> ParsePort(std::string_view text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  int port = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    port = port * 10 + (c - '0');
  }
  if (port < 1 || port > 65535) return std::nullopt;
  return port;
}

// Percent-encodes every byte of a path but the unreserved ones and "/".
std::string EscapePath(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(path.size());
  for (char c : path) {
    auto byte = static_cast<unsigned char>(c);
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                 c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
    if (plain) {
      out += c;
    } else {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    }
  }
  return out;
}

// curl's and the server's words as one printable Windows-1252 line.
std::string PrintableText(std::string_view text) {
  std::string out = Utf8ToAnsi(text);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ')) {
    out.pop_back();
  }
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  }
  return out;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

int Digits(std::string_view text, size_t pos, size_t count) {
  int value = 0;
  for (size_t i = pos; i < pos + count; ++i) value = value * 10 + (text[i] - '0');
  return value;
}

// "4xx ..." or "5xx ...": the server refused the last command, and its words say why.
bool IsRefusalReply(std::string_view reply) {
  return reply.size() >= 4 && (reply[0] == '4' || reply[0] == '5') && reply[1] >= '0' &&
         reply[1] <= '9' && reply[2] >= '0' && reply[2] <= '9' &&
         (reply[3] == ' ' || reply[3] == '-');
}

// A transfer that timed out or broke leaves the connection in no known state, and the
// server has shown that it stops answering or drops connections.
bool IsConnectionLoss(CURLcode code) {
  switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_FTP_ACCEPT_TIMEOUT:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_ABORTED_BY_CALLBACK:  // only ever a stalled upload
      return true;
    default:
      return false;
  }
}

bool IsDataConnectionFailure(CURLcode code) {
  switch (code) {
    case CURLE_FTP_PORT_FAILED:
    case CURLE_FTP_ACCEPT_FAILED:
    case CURLE_FTP_WEIRD_PASV_REPLY:
    case CURLE_FTP_WEIRD_227_FORMAT:
    case CURLE_FTP_CANT_GET_HOST:
      return true;
    default:
      return false;
  }
}

const char* HostKeyType(const curl_khkey* key) {
  if (key == nullptr) return "";
  switch (key->keytype) {
    case CURLKHTYPE_RSA1:
    case CURLKHTYPE_RSA:
      return "RSA ";
    case CURLKHTYPE_DSS:
      return "DSA ";
    case CURLKHTYPE_ECDSA:
      return "ECDSA ";
    case CURLKHTYPE_ED25519:
      return "ED25519 ";
    default:
      return "";
  }
}

}  // namespace

std::string FtpAddress::Authority() const {
  std::string text = host.find(':') != std::string::npos ? "[" + host + "]" : host;
  return text + ":" + std::to_string(port);
}

std::optional<FtpAddress> ParseFtpServer(std::string_view server, int default_port) {
  std::string_view text = TrimBlanks(server);
  FtpAddress address;
  address.port = default_port;
  std::string_view host;
  std::string_view port;
  bool v6 = false;
  if (!text.empty() && text.front() == '[') {
    size_t close = text.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    host = text.substr(1, close - 1);
    std::string_view rest = text.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') return std::nullopt;
      port = rest.substr(1);
      if (port.empty()) return std::nullopt;
    }
    v6 = true;
  } else if (std::count(text.begin(), text.end(), ':') > 1) {
    host = text;  // a bare v6 address cannot carry a port
    v6 = true;
  } else if (size_t colon = text.find(':'); colon != std::string_view::npos) {
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
    if (port.empty()) return std::nullopt;
  } else {
    host = text;
  }
  if (host.empty()) return std::nullopt;
  if (v6 && (host.find(':') == std::string_view::npos ||
             !std::all_of(host.begin(), host.end(), IsV6Character))) {
    return std::nullopt;
  }
  if (!v6 && !std::all_of(host.begin(), host.end(), IsHostNameCharacter)) return std::nullopt;
  if (!port.empty()) {
    std::optional<int> number = ParsePort(port);
    if (!number) return std::nullopt;
    address.port = *number;
  }
  address.host = std::string(host);
  return address;
}

bool IsValidMdtmReply(std::string_view reply) {
  while (!reply.empty() && (reply.back() == '\r' || reply.back() == '\n' || reply.back() == ' ')) {
    reply.remove_suffix(1);
  }
  if (!reply.starts_with("213 ")) return false;
  std::string_view stamp = reply.substr(4);
  while (!stamp.empty() && stamp.front() == ' ') stamp.remove_prefix(1);
  auto is_digit = [](char c) { return c >= '0' && c <= '9'; };
  if (stamp.size() < 14 || !std::all_of(stamp.begin(), stamp.begin() + 14, is_digit)) return false;
  std::string_view fraction = stamp.substr(14);
  if (!fraction.empty()) {
    if (fraction.front() != '.' || fraction.size() < 2 ||
        !std::all_of(fraction.begin() + 1, fraction.end(), is_digit)) {
      return false;
    }
  }
  int year = Digits(stamp, 0, 4);
  int month = Digits(stamp, 4, 2);
  int day = Digits(stamp, 6, 2);
  int hour = Digits(stamp, 8, 2);
  int minute = Digits(stamp, 10, 2);
  int second = Digits(stamp, 12, 2);
  return year >= 1 && month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month) &&
         hour <= 23 && minute <= 59 && second <= 59;
}

FtpClient::FtpClient(WindowPort& window, const FtpTimeouts& timeouts)
    : window_(window), timeouts_(timeouts) {}

// The connection closes without a status line: the window may already be going.
FtpClient::~FtpClient() = default;

bool FtpClient::RefuseConnection(const std::string& reason) {
  last_error_ = reason;
  Status("Connection failed: " + last_error_);
  connect_failed_ = true;
  return false;
}

bool FtpClient::Connect(const FtpEndpoint& endpoint) {
  Drop();
  if (!endpoint.unusable.empty()) return RefuseConnection(endpoint.unusable);
  const bool ssh = endpoint.protocol == FileProtocol::kSftp;
  std::optional<FtpAddress> address = ParseFtpServer(endpoint.server, ssh ? 22 : 21);
  bool usable = address && !HasControlCharacters(endpoint.user) &&
                !HasControlCharacters(endpoint.password) && !HasControlCharacters(endpoint.folder);
  if (!usable) return RefuseConnection("Invalid server, user, password or folder");
  if (ssh) {
    std::string problem = SshSettingsProblem(endpoint.ssh);
    if (!problem.empty()) return RefuseConnection(problem);
  }
  endpoint_ = endpoint;
  address_ = *address;
  curl_.reset(curl_easy_init());
  Status("Connecting to " + address_.Authority());
  CURLcode code = CURLE_FAILED_INIT;
  if (curl_) code = ssh ? SftpProbe(SftpFolderProbeUrl()) : FolderRequest(nullptr);
  if (code != CURLE_OK) {
    if (!curl_) last_error_ = curl_easy_strerror(code);
    Status("Connection failed: " + last_error_);
    // Also after a refused folder: a connection left in the login folder would take the
    // next upload to the wrong place.
    Drop();
    connect_failed_ = true;
    return false;
  }
  connected_ = true;
  connect_failed_ = false;
  Status("Connected");
  return true;
}

std::optional<std::string> FtpClient::Mdtm(std::string_view name) {
  if (!connected_) return std::nullopt;
  if (HasControlCharacters(name)) return std::string();
  SlistPtr quote(curl_slist_append(nullptr, ("*MDTM " + std::string(name)).c_str()));
  if (!quote) return std::string();
  CURLcode code = FolderRequest(quote.get());
  if (code != CURLE_OK) {
    Status("Connection lost: " + last_error_);
    Drop();
    connect_failed_ = true;
    return std::nullopt;
  }
  return last_reply_;
}

std::optional<bool> FtpClient::HasFile(std::string_view name) {
  if (sftp()) return SftpHasFile(name);
  std::optional<std::string> reply = Mdtm(name);
  if (!reply) return std::nullopt;
  return IsValidMdtmReply(*reply);
}

std::optional<bool> FtpClient::SftpHasFile(std::string_view name) {
  if (!connected_) return std::nullopt;
  if (name.empty() || HasControlCharacters(name)) return false;
  CURLcode code = SftpProbe(FolderUrl() + EscapePath(name));
  if (code == CURLE_OK) return true;
  // The server answered, and the file is not there for this account.
  if (code == CURLE_REMOTE_FILE_NOT_FOUND || code == CURLE_REMOTE_ACCESS_DENIED) return false;
  Status("Connection lost: " + last_error_);
  Drop();
  connect_failed_ = true;
  return std::nullopt;
}

FtpStoreResult FtpClient::Store(const std::filesystem::path& local_file,
                                std::string_view remote_name, bool create_folders) {
  if (!connected_) return FtpStoreResult::kNotConnected;
  // Opened before anything is sent: a missing file must not leave an empty one on the
  // server.
  std::error_code ec;
  FileHandle file =
      std::filesystem::is_regular_file(local_file, ec) ? OpenCFile(local_file, "rb") : nullptr;
  if (!file) {
    last_error_ = "Cannot open " + PathMapper::ToText(local_file);
    Status("Transfer failed: " + last_error_);
    return FtpStoreResult::kLocalFile;
  }
  if (remote_name.empty() || HasControlCharacters(remote_name)) {
    last_error_ = "Invalid file name";
    Status("Transfer failed: " + last_error_);
    return FtpStoreResult::kFailed;
  }
  // SFTP makes them while it uploads (see Upload).
  if (create_folders && !sftp() && !MakeFolders(remote_name)) {
    Status("Transfer failed: " + last_error_);
    return FtpStoreResult::kFailed;
  }
  Status("Transfer started");
  CURLcode code = Upload(file.get(), remote_name, create_folders);
  if (code == CURLE_OK) {
    Status("Transfer complete");
    return FtpStoreResult::kStored;
  }
  Status("Transfer failed: " + last_error_);
  if (IsConnectionLoss(code)) {
    // curl would quietly open a new connection for the next request, which would then
    // wait just as long.
    Status("Connection lost: " + last_error_);
    Drop();
    connect_failed_ = true;
    return FtpStoreResult::kConnectionLost;
  }
  // After a refused CWD curl no longer knows for sure which folder the connection is in;
  // a fresh connection puts the next request in the right one.
  if (code == CURLE_REMOTE_ACCESS_DENIED && !sftp()) Disconnect();
  if (IsDataConnectionFailure(code)) {
    data_connection_failed_ = true;
    return FtpStoreResult::kDataConnection;
  }
  return FtpStoreResult::kFailed;
}

void FtpClient::Disconnect() {
  bool was_connected = connected_;
  Drop();
  if (was_connected) Status("Disconnected");
}

void FtpClient::Drop() {
  curl_.reset();  // sends QUIT on a live connection
  connected_ = false;
  made_folders_.clear();
}

void FtpClient::Status(const std::string& text) { window_.StatusText(text); }

std::string FtpClient::FolderUrl() const {
  if (sftp()) return "sftp://" + address_.Authority() + SftpFolderPath();
  std::string_view folder = endpoint_.folder;
  while (!folder.empty() && folder.back() == '/') folder.remove_suffix(1);
  std::string url = "ftp://" + address_.Authority() + "/";
  if (!folder.empty()) url += EscapePath(folder) + "/";
  return url;
}

std::string FtpClient::SftpFolderPath() const {
  // "/~/" is the folder the server starts the session in, where FTP's login folder is.
  std::string_view folder = endpoint_.folder;
  const bool absolute = folder.starts_with('/');
  while (!folder.empty() && folder.back() == '/') folder.remove_suffix(1);
  if (absolute) return EscapePath(folder) + "/";
  return folder.empty() ? "/~/" : "/~/" + EscapePath(folder) + "/";
}

std::string FtpClient::SftpFolderProbeUrl() const {
  // Opened without its "/", a folder that does not exist fails, as CWD does for FTP; the
  // login folder and the root are not asked about (with the "/" curl only logs in).
  std::string path = SftpFolderPath();
  if (path != "/~/" && path != "/") path.pop_back();
  return "sftp://" + address_.Authority() + path;
}

std::string FtpClient::SshSettingsProblem(const SshSettings& ssh) {
  std::error_code ec;
  // Without a known_hosts file nothing can tell the real server from another, and a
  // key is never taken on trust.
  if (ssh.known_hosts.empty()) return "No known_hosts file (SshKnownHosts) to check the host key";
  if (!std::filesystem::is_regular_file(ssh.known_hosts, ec)) {
    return "known_hosts file not found: " + PathMapper::ToText(ssh.known_hosts);
  }
  if (!ssh.key_file.empty() && !std::filesystem::is_regular_file(ssh.key_file, ec)) {
    return "Key file not found: " + PathMapper::ToText(ssh.key_file);
  }
  return "";
}

void FtpClient::PrepareRequest(const std::string& url) {
  CURL* curl = curl_.get();
  curl_easy_reset(curl);  // keeps the open connection
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_USERNAME, endpoint_.user.c_str());
  curl_easy_setopt(curl, CURLOPT_PASSWORD, endpoint_.password.c_str());
  curl_easy_setopt(curl, CURLOPT_PROXY, "");  // never a proxy from the environment
  // The folder goes to the server as configured: curl would otherwise drop "." and ".."
  // parts from it ("../in" became "in") and the file would land in another folder.
  curl_easy_setopt(curl, CURLOPT_PATH_AS_IS, 1L);
  if (sftp()) {
    PrepareSsh();
  } else {
    PrepareFtp();
  }
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeouts_.connect.count()));
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, static_cast<long>(timeouts_.stall.count()));
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_TCP_KEEPALIVE, 1L);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &FtpClient::OnProgress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, this);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &FtpClient::OnHeader);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &FtpClient::OnBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error_buffer_);
}

void FtpClient::PrepareFtp() {
  CURL* curl = curl_.get();
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "ftp");
  curl_easy_setopt(curl, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_SINGLECWD));
  if (endpoint_.passive) {
    curl_easy_setopt(curl, CURLOPT_FTP_USE_EPSV, 1L);
  } else {
    curl_easy_setopt(curl, CURLOPT_FTPPORT, "-");
    curl_easy_setopt(curl, CURLOPT_FTP_USE_EPRT, 0L);
  }
  if (endpoint_.tls) {
    curl_easy_setopt(curl, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
    curl_easy_setopt(curl, CURLOPT_FTPSSLAUTH, static_cast<long>(CURLFTPAUTH_TLS));
  }
  curl_easy_setopt(curl, CURLOPT_ACCEPTTIMEOUT_MS, static_cast<long>(timeouts_.connect.count()));
  curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT,
                   static_cast<long>(timeouts_.server_reply.count()));
}

void FtpClient::PrepareSsh() {
  CURL* curl = curl_.get();
  const SshSettings& ssh = endpoint_.ssh;
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "sftp");
  if (ssh.key_file.empty()) {
    // Only the password: curl would otherwise also try the keys in the ~/.ssh folder of
    // whoever runs the program.
    curl_easy_setopt(curl, CURLOPT_SSH_AUTH_TYPES,
                     static_cast<long>(CURLSSH_AUTH_PASSWORD | CURLSSH_AUTH_KEYBOARD));
  } else {
    curl_easy_setopt(curl, CURLOPT_SSH_AUTH_TYPES, static_cast<long>(CURLSSH_AUTH_PUBLICKEY));
    curl_easy_setopt(curl, CURLOPT_SSH_PRIVATE_KEYFILE, ssh.key_file.string().c_str());
    // Empty: the public half is derived from the private key, not looked for in ~/.ssh.
    curl_easy_setopt(curl, CURLOPT_SSH_PUBLIC_KEYFILE, "");
    if (!ssh.key_passphrase.empty()) {
      curl_easy_setopt(curl, CURLOPT_KEYPASSWD, ssh.key_passphrase.c_str());
    }
  }
  curl_easy_setopt(curl, CURLOPT_SSH_KNOWNHOSTS, ssh.known_hosts.string().c_str());
  curl_easy_setopt(curl, CURLOPT_SSH_KEYFUNCTION, &FtpClient::OnHostKey);
  curl_easy_setopt(curl, CURLOPT_SSH_KEYDATA, this);
}

CURLcode FtpClient::Perform() {
  error_buffer_[0] = '\0';
  stale_error_ = false;
  last_reply_.clear();
  host_key_refusal_.clear();
  CURLcode code = curl_easy_perform(curl_.get());
  if (code != CURLE_OK) last_error_ = FailureReason(code);
  return code;
}

std::string FtpClient::FailureReason(CURLcode code) const {
  // The server's own refusal ("552 Disk quota exceeded.") tells a full disk from a
  // firewall; curl's words come next. curl keeps only the first message of a request in
  // its buffer, and in active mode some versions put one there while they set up the
  // listening socket, whatever happens later: a message that was there before a later
  // reply came is not the failure's, and the failure is then named by its code.
  if (!host_key_refusal_.empty()) return host_key_refusal_;
  if (IsRefusalReply(last_reply_)) return PrintableText(last_reply_);
  if (error_buffer_[0] != '\0' && !stale_error_) return PrintableText(error_buffer_);
  return PrintableText(curl_easy_strerror(code));
}

CURLcode FtpClient::FolderRequest(curl_slist* quote) {
  // NOBODY on the folder (with its trailing "/") logs in when needed, changes into the
  // folder when needed and stops: no data connection. The commands go as POSTQUOTE, which
  // curl sends after that change (QUOTE would go before it, in whatever folder the
  // previous request left).
  PrepareRequest(FolderUrl());
  curl_easy_setopt(curl_.get(), CURLOPT_NOBODY, 1L);
  if (quote != nullptr) curl_easy_setopt(curl_.get(), CURLOPT_POSTQUOTE, quote);
  return Perform();
}

CURLcode FtpClient::SftpProbe(const std::string& url) {
  // NOBODY logs in when needed and opens the file or folder without reading it.
  PrepareRequest(url);
  curl_easy_setopt(curl_.get(), CURLOPT_NOBODY, 1L);
  // SSH has no reply time-out of its own: a server that stops answering would hold the
  // run.
  const auto limit = timeouts_.connect + timeouts_.server_reply;
  curl_easy_setopt(curl_.get(), CURLOPT_TIMEOUT_MS, static_cast<long>(limit.count()));
  return Perform();
}

CURLcode FtpClient::Upload(std::FILE* file, std::string_view remote_name, bool create_folders) {
  PrepareRequest(FolderUrl() + EscapePath(remote_name));
  curl_easy_setopt(curl_.get(), CURLOPT_UPLOAD, 1L);
  // For SFTP curl makes the missing folders of the name when the upload finds them
  // missing (FTP has made them before, see MakeFolders).
  if (create_folders && sftp()) {
    curl_easy_setopt(curl_.get(), CURLOPT_FTP_CREATE_MISSING_DIRS,
                     static_cast<long>(CURLFTP_CREATE_DIR));
  }
  curl_easy_setopt(curl_.get(), CURLOPT_READFUNCTION, &FtpClient::OnRead);
  curl_easy_setopt(curl_.get(), CURLOPT_READDATA, this);
  upload_ = UploadState{file, false, 0, std::chrono::steady_clock::now()};
  CURLcode code = Perform();
  upload_ = std::nullopt;
  if (code == CURLE_ABORTED_BY_CALLBACK) {
    last_error_ =
        "Transfer stalled: no data accepted for " + std::to_string(timeouts_.stall.count()) + " s";
  }
  return code;
}

bool FtpClient::MakeFolders(std::string_view remote_name) {
  SlistPtr quote;
  std::vector<std::string> new_folders;
  for (size_t slash = remote_name.find('/'); slash != std::string_view::npos;
       slash = remote_name.find('/', slash + 1)) {
    std::string folder(remote_name.substr(0, slash));
    if (folder.empty() || made_folders_.contains(folder)) continue;
    // "*": a folder that exists already refuses MKD; that is no failure.
    curl_slist* head = curl_slist_append(quote.get(), ("*MKD " + folder).c_str());
    if (head == nullptr) return false;
    if (!quote) quote.reset(head);
    new_folders.push_back(std::move(folder));
  }
  if (!quote) return true;
  if (FolderRequest(quote.get()) != CURLE_OK) return false;
  made_folders_.insert(new_folders.begin(), new_folders.end());
  return true;
}

size_t FtpClient::OnHeader(char* data, size_t size, size_t count, void* self) {
  // For FTP, curl hands each server reply line here; the last one answers the last
  // command sent.
  auto* client = static_cast<FtpClient*>(self);
  client->last_reply_.assign(data, size * count);
  if (client->error_buffer_[0] != '\0') client->stale_error_ = true;
  return size * count;
}

size_t FtpClient::OnBody(char*, size_t size, size_t count, void*) { return size * count; }

size_t FtpClient::OnRead(char* data, size_t size, size_t count, void* self) {
  UploadState& upload = *static_cast<FtpClient*>(self)->upload_;
  size_t read = std::fread(data, size, count, upload.file);
  if (read == 0 && std::ferror(upload.file)) return CURL_READFUNC_ABORT;
  if (read == 0) upload.all_read = true;
  return read;
}

int FtpClient::OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t sent) {
  auto* client = static_cast<FtpClient*>(self);
  client->window_.ProcessEvents();
  return client->UploadStalled(sent) ? 1 : 0;
}

int FtpClient::OnHostKey(CURL*, const curl_khkey*, const curl_khkey* found, curl_khmatch match,
                         void* self) {
  if (match == CURLKHMATCH_OK) return CURLKHSTAT_FINE;
  // Refused, and never added to the file: a key seen for the first time may be an
  // impostor's as well as the server's.
  auto* client = static_cast<FtpClient*>(self);
  const std::string file = PathMapper::ToText(client->endpoint_.ssh.known_hosts);
  const std::string key = std::string("the server's ") + HostKeyType(found) + "key";
  client->host_key_refusal_ = match == CURLKHMATCH_MISMATCH
                                  ? "Host key changed: " + key + " is not the one in " + file
                                  : "Unknown host key: " + key + " is not in " + file;
  return CURLKHSTAT_REJECT;
}

bool FtpClient::UploadStalled(curl_off_t sent) {
  // curl's own low-speed check averages over several seconds and so gives up some
  // seconds late. Only the sending of the data is watched: before it the wait for the
  // server's connection, after it the wait for the server's reply have their own limits.
  const auto now = std::chrono::steady_clock::now();
  if (!upload_ || upload_->all_read || sent == 0 || sent != upload_->sent) {
    if (upload_) {
      upload_->sent = sent;
      upload_->since = now;
    }
    return false;
  }
  return now - upload_->since >= timeouts_.stall;
}

}  // namespace listelo
