#include "app/ini_file.h"

#include <gtest/gtest.h>

#include "support/temp_tree.h"

namespace listelo {
namespace {

TEST(IniFileTest, PrivateProfileRules) {
  const IniFile ini = IniFile::FromText(
      "; comment\r\n"
      "[Options]\r\n"
      "PathImages = c:\\images  \r\n"
      "URLImages=\"http://x/voimages\"\r\n"
      "Half=\"only one quote\r\n"
      "Empty=\r\n"
      "Dup=first\r\n"
      "dup=second\r\n"
      "[paruvendu]\n"
      "FlgInfoEquip=\n"
      "  User  =  dealer@host \n"
      "[OPTIONS]\n"
      "PathImages=ignored\n"
      "Later=ignored too\n");
  struct Case {
    const char* section;
    const char* key;
    const char* expected;
  };
  const Case cases[] = {
      {"Options", "PathImages", "c:\\images"},        // blanks dropped, first section wins
      {"options", "pathimages", "c:\\images"},        // names without regard to case
      {"Options", "URLImages", "http://x/voimages"},  // matching quotes stripped
      {"Options", "Half", "\"only one quote"},
      {"Options", "Empty", ""},         // present but empty: not the default
      {"Options", "Dup", "first"},      // first occurrence wins
      {"Options", "Later", "default"},  // a repeated section is not read
      {"Options", "Missing", "default"},
      {"PARUVENDU", "FlgInfoEquip", ""},
      {"PARUVENDU", "User", "dealer@host"},
      {"Nowhere", "User", "default"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ini.ReadString(c.section, c.key, "default"), c.expected) << c.section << "/" << c.key;
  }
}

TEST(IniFileTest, ValuesAreCutAt2047Characters) {
  const IniFile ini = IniFile::FromText("[S]\nK=" + std::string(100000, 'x') + "\n");
  EXPECT_EQ(ini.ReadString("S", "K", "").size(), 2047u);
}

TEST(IniFileTest, OddBytesDoNotStopTheReader) {
  const char raw[] = "[S]\nA=1\0\xFF\xFE\n[S2\nB=2\n";
  const std::string text(raw, sizeof raw - 1);
  const IniFile ini = IniFile::FromText(text);
  EXPECT_EQ(ini.ReadString("S", "A", "").size(), 4u);
  EXPECT_EQ(ini.ReadString("S2", "B", "d"), "2");  // a section line without "]"
}

TEST(IniFileTest, MissingAndEmptyFilesReadAsDefaults) {
  testing::TempTree tree;
  testing::WriteFile(tree / "empty.ini", "");
  for (const char* name : {"empty.ini", "missing.ini"}) {
    const IniFile ini = IniFile::Open(tree / name);
    EXPECT_EQ(ini.ReadString("VOImages", "PathFTP", "www/voimages"), "www/voimages");
  }
}

TEST(SwitchRulesTest, ExactComparisons) {
  struct Case {
    const char* value;
    bool on_unless_zero;
    bool on_only_when_one;
  };
  const Case cases[] = {{"0", false, false}, {"1", true, true},    {"", true, false},
                        {"no", true, false}, {"yes", true, false}, {" 1", true, false},
                        {"00", true, false}};
  for (const Case& c : cases) {
    EXPECT_EQ(OnUnlessZero(c.value), c.on_unless_zero) << c.value;
    EXPECT_EQ(OffOnlyWhenZero(c.value), c.on_unless_zero) << c.value;
    EXPECT_EQ(OnOnlyWhenOne(c.value), c.on_only_when_one) << c.value;
  }
}

}  // namespace
}  // namespace listelo
