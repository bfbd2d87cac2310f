#include <gtest/gtest.h>

#include "delivery/ftp_client.h"

namespace listelo {
namespace {

TEST(ParseFtpServerTest, HostAndPort) {
  struct Case {
    const char* text;
    const char* authority;  // nullptr: refused
  };
  const Case cases[] = {
      {"ftp.example.org", "ftp.example.org:21"},
      {" 10.0.0.5 ", "10.0.0.5:21"},
      {"127.0.0.1:2121", "127.0.0.1:2121"},
      {"[::1]:2121", "[::1]:2121"},
      {"[fe80::1]", "[fe80::1]:21"},
      {"::1", "[::1]:21"},
      {"host:65535", "host:65535"},
      {"", nullptr},
      {"host:", nullptr},
      {"host:0", nullptr},
      {"host:65536", nullptr},
      {"host:21x", nullptr},
      {":21", nullptr},
      {"[::1", nullptr},
      {"[::1]x", nullptr},
      {"[host]:21", nullptr},
      {"host/www", nullptr},
      {"user@host", nullptr},
      {"host name", nullptr},
      {"host\r\nUSER x", nullptr},
  };
  for (const Case& c : cases) {
    std::optional<FtpAddress> address = ParseFtpServer(c.text);
    if (c.authority == nullptr) {
      EXPECT_FALSE(address) << c.text;
    } else {
      ASSERT_TRUE(address) << c.text;
      EXPECT_EQ(address->Authority(), c.authority) << c.text;
    }
  }
}

TEST(MdtmReplyTest, OnlyA213WithAValidStampCounts) {
  struct Case {
    const char* reply;
    bool valid;
  };
  const Case cases[] = {
      {"213 20260102030405\r\n", true},
      {"213 20260102030405", true},
      {"213 20240229235959.123\r\n", true},
      {"213 20250229120000", false},  // no 29 February in 2025
      {"213 20261301120000", false},
      {"213 20260100120000", false},
      {"213 20260431120000", false},
      {"213 20260102240000", false},
      {"213 20260102236000", false},
      {"213 20260102235960", false},
      {"213 2026010203040", false},
      {"213 20260102030405.", false},
      {"213 20260102030405x", false},
      {"213 2026-01-02 03:04:05", false},
      {"550 a.jpg: No such file", false},
      {"212 20260102030405", false},
      {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsValidMdtmReply(c.reply), c.valid) << c.reply;
}

}  // namespace
}  // namespace listelo
