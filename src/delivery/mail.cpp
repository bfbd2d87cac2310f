#include "delivery/mail.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <random>

#include "app/errors.h"
#include "app/files.h"
#include "app/run.h"
#include "delivery/mail_message.h"
#include "delivery/mail_smtp.h"

namespace listelo {
namespace {

constexpr const char* kInfo = "StrInfoLog";
constexpr const char* kMail = "MAIL";

// Site data: the configuration file gives the real values.
constexpr const char* kDefaultHost = "smtp.constructeur.invalid";
constexpr const char* kDefaultUserName = "postmaster@constructeur.invalid";
constexpr const char* kDefaultPassword = "Rq7mZ2kw";
constexpr const char* kDefaultSendTo = "contact.flux@neowebcar.invalid";
constexpr const char* kDefaultSendCc = "marketing@concession.invalid";
constexpr const char* kDefaultFrom = "marketing@concession.invalid";
constexpr const char* kDefaultSubject = "NeoWebCar : fichier pour mise à jour";
// The private mailbox that receives every message as a blind copy, and the messages
// without a configured SendTO.
constexpr const char* kPrivateMailbox = "suivi.exports@concession.invalid";

constexpr const char* kContentType = "text/html;charset=iso-8859-15";

// A whole number as the configuration's conversions read it: an optional sign and
// decimal digits, within the range of an int.
int WholeNumber(const std::string& text) {
  std::string_view digits(text);
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  int value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
      (text.front() == '+' && digits.front() == '-')) {
    throw RunError("\"" + text + "\" n'est pas un nombre entier (Port SMTP)");
  }
  return value;
}

// A time-out in seconds; anything but a positive whole number keeps the default.
long Seconds(const Run& run, const char* key, long default_seconds) {
  const std::string text = run.Config(kInfo, key, "");
  long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  const bool usable = !text.empty() && error == std::errc() && end == text.data() + text.size();
  return usable && value > 0 ? value : default_seconds;
}

}  // namespace

SmtpSettings ReadSmtpSettings(const Run& run) {
  SmtpSettings smtp;
  smtp.host = run.Config(kInfo, "Host", kDefaultHost);
  smtp.port = WholeNumber(run.Config(kInfo, "Port", "25"));
  smtp.user_name = run.Config(kInfo, "Username", kDefaultUserName);
  smtp.password = run.Config(kInfo, "Password", kDefaultPassword);
  smtp.authenticate = run.Config(kMail, "AuthType", "") != "none";
  smtp.start_tls = OnOnlyWhenOne(run.Config(kInfo, "StartTLS", "0"));
  smtp.helo_name = LocalHostName();
  smtp.connect_timeout_seconds = Seconds(run, "ConnectTimeout", smtp.connect_timeout_seconds);
  smtp.response_timeout_seconds = Seconds(run, "ReadTimeout", smtp.response_timeout_seconds);
  return smtp;
}

namespace {

std::string Body(std::string_view link) {
  return "<body>Bonjour,<br><br>ci-joint le lien vers le fichier de la <a href=\"" +
         std::string(link) +
         "\">liste des véhicules au format CSV</a>, <br><br>Merci d'avance<br><br>Sincères "
         "Salutations</body>";
}

// "<stamp>.<random>@<sender's domain>": unique without a registry of sent messages.
std::string MessageId(const Run& run, std::string_view sender) {
  std::random_device device;
  char random[17];
  std::snprintf(random, sizeof random, "%08x%08x", device(), device());
  const size_t at = sender.rfind('@');
  const std::string domain =
      at == std::string_view::npos ? "listelo.invalid" : std::string(sender.substr(at + 1));
  return run.FormatNow("yyyymmddhhnnss") + "." + random + "@" + domain;
}

// The .eml copy and the window list copy ("Mail.html", empty: the memo was just cleared).
void SaveCopies(Run& run, const std::string& message_text) {
  const std::string folder = run.WindowsFolder() + "\\TEMP\\VOMail";
  std::error_code ignored;  // a folder that cannot be made shows as a failed write below
  std::filesystem::create_directories(run.HostPath(folder), ignored);
  WriteFileBytes(run.HostPath(folder + "\\" + run.FormatNow("yyyymmddhhnnss") + ".eml"),
                 message_text, FileWriteMode::kTruncate);
  std::string memo;
  for (const std::string& line : run.window().MemoLines()) memo += line + "\r\n";
  WriteFileBytes(run.HostPath(folder + "\\Mail.html"), memo, FileWriteMode::kTruncate);
}

}  // namespace

void SendMail(Run& run, std::string_view link, std::string_view summary) {
  WindowPort& window = run.window();
  window.ClearMemo();
  const SmtpSettings smtp = ReadSmtpSettings(run);

  const std::string send_to = run.Config(kInfo, "SendTO", kDefaultSendTo);
  const std::string send_cc = run.Config(kInfo, "SendCC", kDefaultSendCc);
  MailMessage message;
  message.subject = run.Config(kInfo, "Subject", kDefaultSubject);
  if (!summary.empty()) message.subject += " - " + std::string(summary);
  const std::vector<MailAddress> senders =
      ParseAddressList(run.Config(kInfo, "From", kDefaultFrom));
  message.from = senders.empty() ? std::string() : senders.front().address;
  if (!send_to.empty()) {
    message.to = ParseAddressList(send_to);
    if (!send_cc.empty()) message.cc = ParseAddressList(send_cc);
  } else {
    message.to = ParseAddressList(run.Config(kMail, "TO", kPrivateMailbox));
  }
  message.bcc = {{"", kPrivateMailbox}};
  message.content_type = kContentType;
  message.body = Body(link);
  message.date = FormatMailDate(run.host().clock.Now());
  message.message_id = MessageId(run, message.from);
  const std::string text = ComposeMessage(message);

  SaveCopies(run, text);
  window.ClearMemo();
  // The end-of-run text would follow the colon; a run is started with one argument only.
  window.AddLine("Fin de traitement : ");
  if (!send_to.empty()) window.AddLine("mail envoyé à : " + send_to);

  try {
    SendSmtp(smtp, message.from, message.Recipients(), text, window);
  } catch (const SmtpError& e) {
    run.WriteLog(std::string("ERROR: ") + e.what());
  }
}

}  // namespace listelo
