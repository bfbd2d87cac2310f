#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "delivery/mail_message.h"

namespace listelo {
namespace {

TEST(ParseAddressListTest, Forms) {
  struct Case {
    const char* text;
    std::vector<MailAddress> expected;
  };
  const Case cases[] = {
      {"a@b.test", {{"", "a@b.test"}}},
      {"  Jean Dupont   <jean@b.test> ", {{"Jean Dupont", "jean@b.test"}}},
      {"\"Dupont, Jean\" <jean@b.test>, k@c.test",
       {{"Dupont, Jean", "jean@b.test"}, {"", "k@c.test"}}},
      {"\"Le \\\"Garage\\\" <Est>\" <g@b.test>", {{"Le \"Garage\" <Est>", "g@b.test"}}},
      {"Agnès Bérard <agnes@b.test>", {{"Agnès Bérard", "agnes@b.test"}}},
      {"a@b.test (ventes, atelier), <c@d.test>", {{"", "a@b.test"}, {"", "c@d.test"}}},
      {" , ,a@b.test,, ", {{"", "a@b.test"}}},
      {"", {}},
      {"Sans adresse <>", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::vector<MailAddress> got = ParseAddressList(c.text);
    ASSERT_EQ(got.size(), c.expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].display_name, c.expected[i].display_name);
      EXPECT_EQ(got[i].address, c.expected[i].address);
    }
  }
}

TEST(IsUsableAddressTest, OnlyWhatAnSmtpCommandCanCarry) {
  EXPECT_TRUE(IsUsableAddress("a.b+c@d-e.test"));
  for (const char* bad :
       {"", "a", "@b.test", "a@", "a b@c.test", "a@b.test>\r\nDATA", "<a@b.test>", "é@b.test"}) {
    EXPECT_FALSE(IsUsableAddress(bad)) << bad;
  }
}

TEST(QuotedPrintableTest, KeepsLinesShortAndBlanksVisible) {
  EXPECT_EQ(QuotedPrintable("a=b \xE9 "), "a=3Db =E9=20");
  const std::string encoded = QuotedPrintable(std::string(200, 'x') + "\xE9");
  size_t start = 0;
  while (start < encoded.size()) {
    const size_t end = encoded.find("\r\n", start);
    const size_t length = (end == std::string::npos ? encoded.size() : end) - start;
    EXPECT_LE(length, 76u);
    start = end == std::string::npos ? encoded.size() : end + 2;
  }
  // A soft break never splits an "=XX" triplet.
  EXPECT_EQ(encoded.find("=\r\n"), 75u);
}

TEST(AnsiToIso885915Test, MovedCharactersAndMissingOnes) {
  std::string out;
  ASSERT_TRUE(AnsiToIso885915("€ŠšŽžŒœŸ àé", out));
  EXPECT_EQ(out, "\xA4\xA6\xA8\xB4\xB8\xBC\xBD\xBE \xE0\xE9");
  EXPECT_FALSE(AnsiToIso885915("d’été", out));  // no typographic apostrophe there
  EXPECT_FALSE(AnsiToIso885915("¤", out));      // gave its place to the euro sign
}

class MailDateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = std::getenv("TZ");
    saved_ = tz != nullptr ? std::optional<std::string>(tz) : std::nullopt;
  }
  void TearDown() override {
    if (saved_) {
      setenv("TZ", saved_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  static void UseZone(const char* zone) {
    setenv("TZ", zone, 1);
    tzset();
  }

 private:
  std::optional<std::string> saved_;
};

TEST_F(MailDateTest, CarriesTheLocalOffsetOfThatDay) {
  DateTime winter{2026, 12, 8, 14, 3, 9, 0, 2};
  DateTime summer{2026, 7, 1, 9, 0, 0, 0, 3};
  UseZone("CET-1CEST,M3.5.0,M10.5.0/3");
  EXPECT_EQ(FormatMailDate(winter), "Tue, 08 Dec 2026 14:03:09 +0100");
  EXPECT_EQ(FormatMailDate(summer), "Wed, 01 Jul 2026 09:00:00 +0200");
  UseZone("EST5EDT,M3.2.0,M11.1.0");
  EXPECT_EQ(FormatMailDate(winter), "Tue, 08 Dec 2026 14:03:09 -0500");
  UseZone("UTC0");
  EXPECT_EQ(FormatMailDate(winter), "Tue, 08 Dec 2026 14:03:09 +0000");
}

}  // namespace
}  // namespace listelo
