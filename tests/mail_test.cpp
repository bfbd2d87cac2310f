#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>

#include "app/errors.h"
#include "app/ini_file.h"
#include "delivery/mail.h"
#include "delivery/mail_smtp.h"
#include "platform/text.h"
#include "support/smtp_server.h"
#include "support/temp_tree.h"

namespace listelo {
namespace {
namespace fs = std::filesystem;
using testing::ReadFile;
using testing::RunFixture;
using testing::SmtpRecord;
using testing::SmtpServers;

constexpr const char* kLink = "http://www.concession.test/export/stock.csv";
constexpr const char* kBlindCopy = "suivi.exports@concession.invalid";
constexpr const char* kEml = "c:\\windows\\TEMP\\VOMail\\20261208140309.eml";
constexpr const char* kMailHtml = "c:\\windows\\TEMP\\VOMail\\Mail.html";
constexpr const char* kLog = "c:\\windows\\TEMP\\RadoveDuvudeNEOWEBCAR.log";

std::string Utf8(const std::string& ansi) { return AnsiToUtf8(ansi); }

std::string ExpectedBody(const std::string& link) {
  return "<body>Bonjour,<br><br>ci-joint le lien vers le fichier de la <a href=\"" + link +
         "\">liste des véhicules au format CSV</a>, <br><br>Merci d'avance<br><br>Sincères "
         "Salutations</body>\n";
}

// The two mail sections, pointed at one of the test servers; `extra_info` and
// `extra_mail` are more lines for each (a key given twice: the first one counts).
std::string MailIni(int port, const std::string& extra_info = "",
                    const std::string& extra_mail = "") {
  return "[StrInfoLog]\r\n" + extra_info + "Host=127.0.0.1\r\nPort=" + std::to_string(port) +
         "\r\nUsername=robot\r\nPassword=s3cret\r\nReadTimeout=5\r\n"
         "SendTO=\"Dupont, Jean\" <jean.dupont@portail.test>, Agnès Bérard "
         "<agnes@portail.test>\r\nSendCC=marketing@concession.test\r\n"
         "From=Concession Exemple <ventes@concession.test>\r\n"
         "[MAIL]\r\n" +
         extra_mail + "TO=prive@concession.test\r\n";
}

// A run of the NeoWebCar target with `ini` as its configuration.
class MailRun {
 public:
  explicit MailRun(const std::string& ini) : fixture_(ini.c_str()) {
    fixture_.run().set_ini(IniFile::FromText(ini));
    fixture_.run().state.export_target = "NEOWEBCAR";
  }

  // Sends and returns the connections that `mode`'s server had meanwhile.
  std::vector<SmtpRecord> Send(const std::string& mode, const std::string& summary,
                               const std::string& link = kLink) {
    const size_t before = SmtpServers::Shared().Records(mode).size();
    SendMail(fixture_.run(), link, summary);
    std::vector<SmtpRecord> records = SmtpServers::Shared().Records(mode);
    records.erase(records.begin(), records.begin() + static_cast<long>(before));
    return records;
  }

  std::vector<std::string> ErrorLines() const {
    std::vector<std::string> errors;
    const fs::path log = fixture_.HostPath(kLog);
    if (!fs::exists(log)) return errors;
    const std::string text = ReadFile(log);
    for (size_t at = text.find(" - ERROR: "); at != std::string::npos;
         at = text.find(" - ERROR: ", at + 1)) {
      errors.push_back(text.substr(at + 3, text.find("\r\n", at) - at - 3));
    }
    return errors;
  }

  RunFixture& fixture() { return fixture_; }

 private:
  RunFixture fixture_;
};

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool AnyStartsWith(const std::vector<std::string>& lines, const std::string& prefix) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
}

// The one connection that delivered, after checking that there is exactly one.
SmtpRecord Delivered(const std::vector<SmtpRecord>& records) {
  std::optional<SmtpRecord> delivered;
  for (const SmtpRecord& r : records) {
    if (!r.Delivered()) continue;
    EXPECT_FALSE(delivered.has_value()) << "delivered twice";
    delivered = r;
  }
  if (!delivered) {
    ADD_FAILURE() << "nothing delivered";
    return SmtpRecord(fs::path("/nonexistent"));
  }
  return *delivered;
}

TEST(SendMailTest, MessageAsReceivedAndAsSaved) {
  MailRun run(MailIni(SmtpServers::Shared().Port("login")));
  run.fixture().window().AddLine("ligne d'avant");
  const std::vector<SmtpRecord> records = run.Send("login", "12 véhicules");
  ASSERT_EQ(records.size(), 1u);
  const SmtpRecord& mail = records[0];
  ASSERT_TRUE(mail.Delivered());

  const std::vector<std::string> commands = mail.Commands();
  EXPECT_EQ(commands.at(1), "EHLO " + LocalHostName());
  EXPECT_TRUE(Contains(commands, "AUTH LOGIN"));
  EXPECT_TRUE(Contains(commands, "LOGIN-OK robot"));
  ASSERT_GE(commands.size(), 2u);
  EXPECT_EQ(commands[commands.size() - 2], "QUIT");

  EXPECT_EQ(mail.Text("envelope_from"), "ventes@concession.test");
  EXPECT_EQ(mail.Lines("envelope_rcpt"),
            (std::vector<std::string>{"jean.dupont@portail.test", "agnes@portail.test",
                                      "marketing@concession.test", kBlindCopy}));
  EXPECT_EQ(mail.Text("header_From"), "ventes@concession.test");
  EXPECT_EQ(mail.Lines("addresses_to"),
            (std::vector<std::string>{"Dupont, Jean\tjean.dupont@portail.test",
                                      Utf8("Agnès Bérard\tagnes@portail.test")}));
  EXPECT_EQ(mail.Lines("addresses_cc"), std::vector<std::string>{"\tmarketing@concession.test"});
  EXPECT_EQ(mail.Text("header_Bcc"), "");
  EXPECT_EQ(mail.Text("header_Subject"),
            Utf8("NeoWebCar : fichier pour mise à jour - 12 véhicules"));
  EXPECT_EQ(mail.Text("content_type"), "text/html");
  EXPECT_EQ(mail.Text("charset"), "iso-8859-15");
  EXPECT_EQ(mail.Text("body"), Utf8(ExpectedBody(kLink)));
  EXPECT_EQ(mail.Text("defects"), "");

  const std::string raw = mail.Text("raw.eml");
  EXPECT_NE(raw.find("\r\nContent-Type: text/html;charset=iso-8859-15\r\n"), std::string::npos);
  EXPECT_NE(raw.find("\r\nSubject: =?iso-8859-15?Q?"), std::string::npos);
  EXPECT_EQ(ReadFile(run.fixture().HostPath(kEml)), raw);
  EXPECT_EQ(ReadFile(run.fixture().HostPath(kMailHtml)), "");

  EXPECT_EQ(run.fixture().window().MemoLines(),
            (std::vector<std::string>{"Fin de traitement : ",
                                      "mail envoyé à : \"Dupont, Jean\" "
                                      "<jean.dupont@portail.test>, Agnès Bérard "
                                      "<agnes@portail.test>"}));
  EXPECT_TRUE(run.ErrorLines().empty());
}

TEST(SendMailTest, WithoutSendToGoesToThePrivateMailboxWithoutCopy) {
  MailRun run("[StrInfoLog]\r\nHost=127.0.0.1\r\nPort=" +
              std::to_string(SmtpServers::Shared().Port("noauth")) +
              "\r\nSendTO=\r\nSendCC=marketing@concession.test\r\nSubject=Stock du jour\r\n"
              "[MAIL]\r\nTO=Boîte privée <prive@concession.test>\r\n");
  const SmtpRecord mail = Delivered(run.Send("noauth", ""));
  EXPECT_EQ(mail.Lines("envelope_rcpt"),
            (std::vector<std::string>{"prive@concession.test", kBlindCopy}));
  EXPECT_EQ(mail.Lines("addresses_to"),
            std::vector<std::string>{Utf8("Boîte privée\tprive@concession.test")});
  EXPECT_EQ(mail.Text("header_Cc"), "");
  EXPECT_EQ(mail.Text("header_Subject"), "Stock du jour");
  EXPECT_EQ(run.fixture().window().MemoLines(), std::vector<std::string>{"Fin de traitement : "});
}

TEST(SendMailTest, AuthenticationFollowsTheSettingAndWhatTheServerOffers) {
  struct Case {
    const char* mode;
    const char* auth_type;  // nullptr: key absent
    const char* user;
    const char* password;
    bool expect_login;
    bool expect_delivered;
  };
  const Case cases[] = {
      {"login", nullptr, "robot", "s3cret", true, true},
      {"login", "none", "robot", "s3cret", false, true},
      {"login", "NONE", "robot", "s3cret", true, true},
      {"login", "", "", "s3cret", false, true},
      {"login", "", "robot", "faux", false, false},  // refused login: nothing sent
      {"plain", "", "robot", "s3cret", false, true},
      {"noauth", "", "robot", "s3cret", false, true},
      {"helo", "", "robot", "s3cret", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.mode) + " AuthType=" + (c.auth_type ? c.auth_type : "(absent)") +
                 " user=" + c.user + " password=" + c.password);
    const std::string info =
        std::string("Username=") + c.user + "\r\nPassword=" + c.password + "\r\n";
    const std::string mail =
        c.auth_type != nullptr ? std::string("AuthType=") + c.auth_type + "\r\n" : "";
    MailRun run(MailIni(SmtpServers::Shared().Port(c.mode), info, mail));
    const std::vector<SmtpRecord> records = run.Send(c.mode, "x");
    ASSERT_FALSE(records.empty());
    bool logged_in = false;
    bool delivered = false;
    for (const SmtpRecord& r : records) {
      const std::vector<std::string> commands = r.Commands();
      logged_in = logged_in || Contains(commands, "LOGIN-OK robot");
      delivered = delivered || r.Delivered();
      // Only AUTH LOGIN is ever tried; a connection that did not deliver sent no MAIL.
      for (const std::string& command : commands) {
        if (command.rfind("AUTH", 0) == 0) {
          EXPECT_EQ(command, "AUTH LOGIN");
        }
      }
      if (!r.Delivered()) {
        EXPECT_FALSE(AnyStartsWith(commands, "MAIL"));
      }
    }
    EXPECT_EQ(logged_in, c.expect_login);
    EXPECT_EQ(delivered, c.expect_delivered);
    EXPECT_EQ(run.ErrorLines().size(), c.expect_delivered ? 0u : 1u);
    if (std::string(c.mode) == "helo") {
      EXPECT_TRUE(Contains(records.back().Commands(), "HELO " + LocalHostName()));
    }
  }
}

TEST(SendMailTest, SubjectAndBodyReadAsWrittenByAMailReader) {
  struct Case {
    const char* subject;
    const char* summary;
    const char* link;
    const char* expected_subject;
    const char* raw_charset;  // how the raw Subject header reads, nullptr: as it is
  };
  const std::string long_summary = [] {
    std::string s;
    for (int i = 0; i < 12; ++i) s += "mise à jour n°" + std::to_string(i) + " ";
    return s + "fin";
  }();
  const Case cases[] = {
      {"Stock", "", kLink, "Stock", nullptr},
      {"Stock", "3 € Œuvre Šš Žž Ÿ", kLink, "Stock - 3 € Œuvre Šš Žž Ÿ", "iso-8859-15"},
      {"Stock", "d’été “ok” — fin", kLink, "Stock - d’été “ok” — fin", "utf-8"},
      {"Stock", long_summary.c_str(), kLink, nullptr, "iso-8859-15"},
      {"Stock", "a\r\nBcc: intrus@ailleurs.test", kLink, "Stock - a  Bcc: intrus@ailleurs.test",
       nullptr},
      {"Stock", "=?utf-8?Q?x?=", kLink, "Stock - =?utf-8?Q?x?=", "iso-8859-15"},
      {"Stock", "", "http://www.concession.test/l’été.csv", "Stock", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.summary);
    MailRun run(MailIni(SmtpServers::Shared().Port("noauth"),
                        std::string("Subject=") + c.subject + "\r\n"));
    const SmtpRecord mail = Delivered(run.Send("noauth", c.summary, c.link));
    const std::string expected_subject =
        c.expected_subject != nullptr ? c.expected_subject : "Stock - " + long_summary;
    EXPECT_EQ(mail.Text("header_Subject"), Utf8(expected_subject));
    EXPECT_EQ(mail.Text("defects"), "");
    EXPECT_EQ(mail.Lines("envelope_rcpt").size(), 4u);
    EXPECT_EQ(mail.Text("header_Bcc"), "");

    // The body keeps its charset; what it cannot hold comes as an HTML reference.
    std::string link = c.link;
    const size_t apostrophe = link.find('\x92');
    if (apostrophe != std::string::npos) link.replace(apostrophe, 1, "&#8217;");
    EXPECT_EQ(mail.Text("body"), Utf8(ExpectedBody(link)));

    const std::string raw = mail.Text("raw.eml");
    const size_t subject_at = raw.find("\r\nSubject: ") + 2;
    const std::string subject_line = raw.substr(subject_at, raw.find("\r\n", subject_at));
    if (c.raw_charset != nullptr) {
      EXPECT_NE(subject_line.find(std::string("=?") + c.raw_charset + "?Q?"), std::string::npos);
    } else {
      EXPECT_EQ(subject_line.find("=?"), std::string::npos);
    }
    // No line of the message is longer than mail readers accept without complaint.
    for (size_t start = 0, end; start < raw.size(); start = end + 2) {
      end = raw.find("\r\n", start);
      ASSERT_NE(end, std::string::npos);
      EXPECT_LE(end - start, 78u) << raw.substr(start, end - start);
    }
  }
}

// A port on 127.0.0.1 that nobody listens on, or (listen) where connections are queued
// but never answered. The socket is closed when the returned object goes.
class LoopbackPort {
 public:
  explicit LoopbackPort(bool listen_without_answering) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd_, reinterpret_cast<sockaddr*>(&address), length);
    getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    if (listen_without_answering) {
      listen(fd_, 4);
    } else {
      close(fd_);
      fd_ = -1;
    }
  }
  ~LoopbackPort() {
    if (fd_ >= 0) close(fd_);
  }
  int port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

TEST(SendMailTest, FailuresBecomeOneErrorLineAndTheRunGoesOn) {
  LoopbackPort closed(false);
  LoopbackPort silent(true);
  const int noauth = SmtpServers::Shared().Port("noauth");
  struct Case {
    const char* what;
    std::string ini;
  };
  const Case cases[] = {
      {"nobody listening", MailIni(closed.port())},
      {"server never greets", MailIni(silent.port(), "ReadTimeout=1\r\n")},
      {"recipient refused", MailIni(noauth, "SendCC=refuse@concession.test\r\n")},
      {"STARTTLS required, not offered", MailIni(noauth, "StartTLS=1\r\n")},
      {"host name with a blank", MailIni(noauth, "Host=mail server.test\r\n")},
      {"address with a blank", MailIni(noauth, "SendCC=Atelier <ate lier@concession.test>\r\n")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MailRun run(c.ini);
    const auto start = std::chrono::steady_clock::now();
    const std::vector<SmtpRecord> records = run.Send("noauth", "x");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    for (const SmtpRecord& r : records) EXPECT_FALSE(r.Delivered());
    const std::vector<std::string> errors = run.ErrorLines();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_GT(errors[0].size(), std::string("ERROR: ").size());
    // The copy is kept, and the memo shows the error after the two lines.
    EXPECT_TRUE(fs::exists(run.fixture().HostPath(kEml)));
    const std::vector<std::string> memo = run.fixture().window().MemoLines();
    ASSERT_EQ(memo.size(), 3u);
    EXPECT_NE(memo[2].find(" - ERROR: "), std::string::npos);
  }
}

TEST(SendMailTest, PortThatIsNotAWholeNumberRaisesBeforeAnythingHappens) {
  for (const char* port : {"abc", "", "25x", "2.5", "+-25", "99999999999"}) {
    SCOPED_TRACE(port);
    const std::string ini = "[StrInfoLog]\r\nHost=127.0.0.1\r\nPort=" + std::string(port) + "\r\n";
    MailRun run(ini);
    run.fixture().window().AddLine("ligne d'avant");
    EXPECT_THROW(SendMail(run.fixture().run(), kLink, "x"), RunError);
    EXPECT_FALSE(fs::exists(run.fixture().HostPath("c:\\windows\\TEMP\\VOMail")));
    EXPECT_TRUE(run.ErrorLines().empty());
    EXPECT_TRUE(run.fixture().window().MemoLines().empty());
  }
}

TEST(SendMailTest, CopyThatCannotBeWrittenRaises) {
  MailRun run(MailIni(SmtpServers::Shared().Port("noauth")));
  // A file where the mail folder should be.
  testing::WriteFile(run.fixture().HostPath("c:\\windows\\TEMP\\VOMail"), "");
  const size_t before = SmtpServers::Shared().Records("noauth").size();
  EXPECT_THROW(SendMail(run.fixture().run(), kLink, "x"), IoError);
  EXPECT_EQ(SmtpServers::Shared().Records("noauth").size(), before);
}

}  // namespace
}  // namespace listelo
