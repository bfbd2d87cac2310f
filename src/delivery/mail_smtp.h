// Sending one composed message over SMTP with libcurl: EHLO (HELO when refused), AUTH
// LOGIN when asked for and offered, MAIL FROM, one RCPT TO per recipient, DATA, QUIT.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "app/window_port.h"

namespace listelo {

struct SmtpSettings {
  std::string host;
  int port = 25;
  std::string user_name;
  std::string password;
  bool authenticate = true;  // with a user name, and only when the server offers LOGIN
  bool start_tls = false;    // require STARTTLS before anything else is said
  std::string helo_name;     // the name given with EHLO / HELO
  long connect_timeout_seconds = 30;
  long response_timeout_seconds = 60;  // also the longest stall while sending
};

// A failure to deliver: unreachable server, refused login, sender or recipient, broken
// connection, an address that cannot go into a command. what() says which.
class SmtpError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Sends `message` (CR LF line ends, as it is to be received) to every recipient. Lets
// the window's events run while it waits. Raises SmtpError.
void SendSmtp(const SmtpSettings& settings, std::string_view sender,
              const std::vector<std::string>& recipients, std::string_view message,
              WindowPort& window);

// Connects, greets and logs in as SendSmtp would, then says QUIT: nothing is sent.
// Raises SmtpError with the reason when the server cannot be reached or refuses.
void CheckSmtp(const SmtpSettings& settings, WindowPort& window);

// The name of this machine, "localhost" when it has none.
std::string LocalHostName();

}  // namespace listelo
