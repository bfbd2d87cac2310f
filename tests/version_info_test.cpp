#include "app/version_info.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/temp_tree.h"

namespace listelo {
namespace {
using testing::TempTree;
using testing::WriteFile;

std::vector<std::string> Listed(const std::filesystem::path& file) {
  std::vector<std::string> lines;
  ListVersionInfo(file, lines);
  return lines;
}

TEST(ListVersionInfoTest, TheProgramFileListsItsEightStringsInOrder) {
  const std::string version = LISTELO_VERSION;
  EXPECT_EQ(Listed(LISTELO_BINARY),
            (std::vector<std::string>{
                "FileDescription : Publication du stock de véhicules sur les portails d'annonces",
                "CompanyName : Quarno", "FileVersion : " + version, "InternalName : Listelo",
                "LegalCopyRight : © Quarno. Tous droits réservés.", "OriginalFileName : listelo",
                "ProductName : Listelo", "ProductVersion : " + version}));
}

TEST(ListVersionInfoTest, KeysAreFoundWhateverTheirCaseAndListedInTheListingOrder) {
  TempTree tree;
  const VersionString strings[] = {{"productversion", "2.5"},
                                   {"Comments", "not listed"},
                                   {"LEGALCOPYRIGHT", "(c)"},
                                   {"FileDescription", ""}};
  // A false start mark ahead of the real block must not hide it.
  WriteFile(tree / "program", std::string("MZ\0\0", 4) + std::string(kVersionBlockStart) +
                                  "garbage" + VersionBlockBytes(strings) + "tail");
  std::vector<std::string> lines = {"kept"};
  ListVersionInfo(tree / "program", lines);
  EXPECT_EQ(lines, (std::vector<std::string>{"kept", "FileDescription : ", "LegalCopyRight : (c)",
                                             "ProductVersion : 2.5"}));
}

// A block around any payload, well-formed or not.
std::string Frame(std::string_view payload) {
  char digits[kVersionLengthDigits + 1];
  std::snprintf(digits, sizeof digits, "%08zX", payload.size());
  return std::string(kVersionBlockStart) + digits + std::string(payload) +
         std::string(kVersionBlockEnd);
}

TEST(ListVersionInfoTest, FilesWithoutAWholeBlockListNothing) {
  using namespace std::string_view_literals;
  TempTree tree;
  const std::string block = Frame("ProductName\0Listelo\0"sv);
  ASSERT_EQ(block, VersionBlockBytes(std::vector<VersionString>{{"ProductName", "Listelo"}}));
  const size_t last_digit = kVersionBlockStart.size() + kVersionLengthDigits - 1;
  std::string bad_length = block;
  bad_length[last_digit] = 'x';
  std::string too_long = block;
  too_long[last_digit] += 1;
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"empty file", ""},
      {"start mark only", std::string(kVersionBlockStart)},
      {"cut short", block.substr(0, block.size() - 1)},
      {"length not hexadecimal", bad_length},
      {"length past the end mark", too_long},
      {"key without value", Frame("ProductName\0"sv)},
      {"value not ended", Frame("ProductName\0Listelo"sv)},
      {"empty key", Frame("\0Listelo\0"sv)},
  };
  for (const Case& c : cases) {
    WriteFile(tree / "program", c.bytes);
    EXPECT_EQ(Listed(tree / "program"), std::vector<std::string>{}) << c.name;
  }
  EXPECT_EQ(Listed(tree / "missing"), std::vector<std::string>{});
  EXPECT_EQ(Listed(tree.path()), std::vector<std::string>{}) << "a folder";
}

TEST(ListVersionInfoTest, AProgramThatOnlyReadsBlocksHasNone) {
  // This test program holds the reader, its marks included, but no block.
  EXPECT_EQ(Listed("/proc/self/exe"), std::vector<std::string>{});
}

}  // namespace
}  // namespace listelo
