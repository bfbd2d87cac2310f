#include "delivery/mail_smtp.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "delivery/mail_message.h"
#include "platform/text.h"

#ifdef _WIN32
#include <cstdlib>
#else
#include <unistd.h>
#endif

namespace listelo {
namespace {

struct EasyDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct ListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct UrlDeleter {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using StringList = std::unique_ptr<curl_slist, ListDeleter>;
using UrlHandle = std::unique_ptr<CURLU, UrlDeleter>;

// What the server's last EHLO answer said about authentication.
struct AuthOffer {
  bool listed = false;  // an AUTH line was seen
  bool login = false;   // LOGIN was among its mechanisms
};

struct Transfer {
  std::string_view message;
  size_t sent = 0;
  WindowPort* window = nullptr;
  AuthOffer offer;
};

size_t ReadMessage(char* buffer, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const size_t n = std::min(size * count, transfer->message.size() - transfer->sent);
  std::memcpy(buffer, transfer->message.data() + transfer->sent, n);
  transfer->sent += n;
  return n;
}

int LetWindowRun(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  static_cast<Transfer*>(user)->window->ProcessEvents();
  return 0;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && AnsiSameText(text.substr(0, prefix.size()), prefix);
}

// Reads the AUTH capability of each EHLO answer ("250-AUTH LOGIN PLAIN", also the older
// "250-AUTH=LOGIN"), starting afresh at each EHLO (a second one follows STARTTLS).
void NoteProtocolLine(AuthOffer& offer, curl_infotype type, std::string_view line) {
  if (type == CURLINFO_HEADER_OUT && StartsWithNoCase(line, "EHLO ")) {
    offer = AuthOffer{};
    return;
  }
  if (type != CURLINFO_HEADER_IN || line.size() < 9 || !StartsWithNoCase(line, "250")) return;
  std::string_view capability = line.substr(4);
  if (!StartsWithNoCase(capability, "AUTH") || (capability[4] != ' ' && capability[4] != '=')) {
    return;
  }
  offer.listed = true;
  capability.remove_prefix(5);
  while (!capability.empty()) {
    const size_t end = std::min(capability.find_first_of(" \r\n"), capability.size());
    offer.login = offer.login || AnsiSameText(capability.substr(0, end), "LOGIN");
    capability.remove_prefix(std::min(end + 1, capability.size()));
  }
}

int WatchProtocol(CURL*, curl_infotype type, char* data, size_t size, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  std::string_view text(data, size);
  while (!text.empty()) {
    const size_t end = std::min(text.find('\n'), text.size());
    NoteProtocolLine(transfer->offer, type, text.substr(0, end));
    text.remove_prefix(std::min(end + 1, text.size()));
  }
  return 0;
}

template <typename T>
void Set(CURL* curl, CURLoption option, T value) {
  if (CURLcode code = curl_easy_setopt(curl, option, value); code != CURLE_OK) {
    throw SmtpError(std::string("libcurl refused an option: ") + curl_easy_strerror(code));
  }
}

UrlHandle ServerUrl(const SmtpSettings& settings) {
  UrlHandle url(curl_url());
  if (!url) throw SmtpError("out of memory");
  // An IPv6 address goes between brackets; a host name is checked by libcurl.
  const std::string host =
      settings.host.find(':') != std::string::npos && settings.host.front() != '['
          ? "[" + settings.host + "]"
          : settings.host;
  const std::string port = std::to_string(settings.port);
  // The path of an smtp:// address is the name that EHLO gives.
  const std::string path = "/" + settings.helo_name;
  struct Part {
    CURLUPart part;
    const char* value;
    unsigned int flags;
  };
  for (const Part& p : {Part{CURLUPART_SCHEME, "smtp", 0}, Part{CURLUPART_HOST, host.c_str(), 0},
                        Part{CURLUPART_PORT, port.c_str(), 0},
                        Part{CURLUPART_PATH, path.c_str(), CURLU_URLENCODE}}) {
    if (CURLUcode code = curl_url_set(url.get(), p.part, p.value, p.flags); code != CURLUE_OK) {
      throw SmtpError("SMTP server " + settings.host + ":" + port + ": " + curl_url_strerror(code));
    }
  }
  return url;
}

StringList RecipientList(const std::vector<std::string>& recipients) {
  StringList list;
  for (const std::string& address : recipients) {
    curl_slist* longer = curl_slist_append(list.get(), ("<" + address + ">").c_str());
    if (longer == nullptr) throw SmtpError("out of memory");
    list.release();
    list.reset(longer);
  }
  return list;
}

struct Outcome {
  CURLcode code = CURLE_OK;
  std::string error;
  AuthOffer offer;
};

// One connection: the whole exchange, from the greeting to QUIT. With `connect_only` it
// ends after the greeting, EHLO, STARTTLS and the login, which libcurl does on connecting:
// nothing is sent.
Outcome Attempt(const SmtpSettings& settings, std::string_view sender, const StringList& to,
                std::string_view message, WindowPort& window, bool with_login,
                bool connect_only = false) {
  EasyHandle curl(curl_easy_init());
  if (!curl) throw SmtpError("libcurl could not start");
  UrlHandle url = ServerUrl(settings);
  Transfer transfer{message, 0, &window, {}};
  char error[CURL_ERROR_SIZE] = "";
  const std::string from = "<" + std::string(sender) + ">";

  CURL* c = curl.get();
  Set(c, CURLOPT_ERRORBUFFER, error);
  Set(c, CURLOPT_CURLU, url.get());
  Set(c, CURLOPT_PROTOCOLS_STR, "smtp");
  Set(c, CURLOPT_NOPROXY, "*");
  Set(c, CURLOPT_NOSIGNAL, 1L);
  Set(c, CURLOPT_CONNECTTIMEOUT, settings.connect_timeout_seconds);
  Set(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, settings.response_timeout_seconds);
  Set(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
  Set(c, CURLOPT_LOW_SPEED_TIME, settings.response_timeout_seconds);
  Set(c, CURLOPT_USE_SSL, static_cast<long>(settings.start_tls ? CURLUSESSL_ALL : CURLUSESSL_NONE));
  if (with_login) {
    Set(c, CURLOPT_USERNAME, settings.user_name.c_str());
    Set(c, CURLOPT_PASSWORD, settings.password.c_str());
    Set(c, CURLOPT_LOGIN_OPTIONS, "AUTH=LOGIN");
  }
  if (connect_only) Set(c, CURLOPT_CONNECT_ONLY, 1L);
  Set(c, CURLOPT_MAIL_FROM, from.c_str());
  Set(c, CURLOPT_MAIL_RCPT, to.get());
  Set(c, CURLOPT_UPLOAD, 1L);
  Set(c, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(message.size()));
  Set(c, CURLOPT_READFUNCTION, ReadMessage);
  Set(c, CURLOPT_READDATA, &transfer);
  Set(c, CURLOPT_NOPROGRESS, 0L);
  Set(c, CURLOPT_XFERINFOFUNCTION, LetWindowRun);
  Set(c, CURLOPT_XFERINFODATA, &transfer);
  // The protocol lines are watched for the AUTH capability; nothing is printed.
  Set(c, CURLOPT_DEBUGFUNCTION, WatchProtocol);
  Set(c, CURLOPT_DEBUGDATA, &transfer);
  Set(c, CURLOPT_VERBOSE, 1L);

  Outcome outcome;
  outcome.code = curl_easy_perform(c);
  outcome.error = error[0] != '\0' ? error : curl_easy_strerror(outcome.code);
  outcome.offer = transfer.offer;
  return outcome;  // the handle's clean-up says QUIT on a connection still open
}

}  // namespace

void SendSmtp(const SmtpSettings& settings, std::string_view sender,
              const std::vector<std::string>& recipients, std::string_view message,
              WindowPort& window) {
  if (!IsUsableAddress(sender)) throw SmtpError("Invalid sender address: " + std::string(sender));
  for (const std::string& address : recipients) {
    if (!IsUsableAddress(address)) throw SmtpError("Invalid recipient address: " + address);
  }
  const StringList to = RecipientList(recipients);
  const bool login = settings.authenticate && !settings.user_name.empty();
  Outcome outcome = Attempt(settings, sender, to, message, window, login);
  // libcurl refuses to go on when the server offers mechanisms but not the one asked
  // for. Such a server gets the message without authentication, on a new connection;
  // nothing was sent on the first, which ended before MAIL FROM.
  if (login && outcome.code == CURLE_LOGIN_DENIED && outcome.offer.listed && !outcome.offer.login) {
    outcome = Attempt(settings, sender, to, message, window, false);
  }
  if (outcome.code != CURLE_OK) throw SmtpError(outcome.error);
}

void CheckSmtp(const SmtpSettings& settings, WindowPort& window) {
  const bool login = settings.authenticate && !settings.user_name.empty();
  const StringList none;
  Outcome outcome = Attempt(settings, "", none, "", window, login, true);
  // As when sending: a server that does not offer LOGIN takes the message without it.
  if (login && outcome.code == CURLE_LOGIN_DENIED && outcome.offer.listed && !outcome.offer.login) {
    outcome = Attempt(settings, "", none, "", window, false, true);
  }
  if (outcome.code != CURLE_OK) throw SmtpError(outcome.error);
}

std::string LocalHostName() {
#ifdef _WIN32
  const char* name = std::getenv("COMPUTERNAME");
  return name != nullptr && *name != '\0' ? name : "localhost";
#else
  char name[256] = "";
  if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
  return name;
#endif
}

}  // namespace listelo
