// How long the FTP clients wait before they give a step up, so that an unattended run
// always ends. Tests shorten them; nothing else changes them.
#pragma once

#include <chrono>

namespace listelo {

struct FtpTimeouts {
  // Opening a connection: the TCP connection, the server's greeting and the login; in
  // active mode also the wait for the server to open the data connection.
  std::chrono::milliseconds connect{30'000};
  // The server does not answer a command on the control connection.
  std::chrono::seconds server_reply{60};
  // A transfer that moves less than one byte per second for this long.
  std::chrono::seconds stall{60};
};

}  // namespace listelo
