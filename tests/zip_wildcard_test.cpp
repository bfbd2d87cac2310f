#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "delivery/zip_wildcard.h"
#include "support/temp_tree.h"

namespace listelo {
namespace {

TEST(WindowsPatternTest, MatchesAsWindowsListsAFolder) {
  struct Case {
    const char* pattern;
    const char* name;
    bool matches;
  };
  const Case cases[] = {
      // "*.*" is every name, dotless ones and names with several dots included.
      {"*.*", "Annonces.csv", true},
      {"*.*", "LISEZMOI", true},
      {"*.*", "a.b.c", true},
      {"*", "LISEZMOI", true},
      // An extension is the part after the last dot, in any letter case.
      {"*.csv", "ANNONCES.CSV", true},
      {"*.csv", "annonces.csv.bak", false},
      {"*.csv", "annoncescsv", false},
      {"*.jpg", "vo.1234.jpg", true},
      // "x.*" also names "x"; "*." names the dotless files only.
      {"Export.*", "export", true},
      {"Export.*", "Export.zip", true},
      {"Export.*", "Exports.zip", false},
      {"*.", "LISEZMOI", true},
      {"*.", "a.txt", false},
      // "?" is one character, or nothing before a dot or the end.
      {"photo?.jpg", "photo1.jpg", true},
      {"photo?.jpg", "photo.jpg", true},
      {"photo?.jpg", "photo12.jpg", false},
      {"a?c", "abc", true},
      {"a?c", "a.c", false},
      {"ab??", "ab", true},
      // Literal names and Windows-1252 letters regardless of case.
      {"Véhicules.csv", "VÉHICULES.CSV", true},
      {"Véhicules.csv", "Vehicules.csv", false},
      {"*a*a*a*a*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MatchesWindowsPattern(c.pattern, c.name), c.matches)
        << c.pattern << " against " << c.name;
  }
}

TEST(WindowsPatternTest, TellsPatternsFromPlainNames) {
  EXPECT_TRUE(HasWildcards("*.*"));
  EXPECT_TRUE(HasWildcards("photo?.jpg"));
  EXPECT_FALSE(HasWildcards("Annonces.csv"));
}

TEST(ListMatchingFilesTest, FilesOfTheFolderByPatternInNameOrder) {
  namespace fs = std::filesystem;
  testing::TempTree tree;
  for (const char* name : {"b.csv", "A.CSV", "c.csv.bak", "notes.txt", "dotless"}) {
    testing::WriteFile(tree / name, "x");
  }
  fs::create_directories(tree / "folder.csv");
  fs::create_directories(tree / "sub");
  testing::WriteFile(tree / "sub" / "d.csv", "x");

  const auto names = [&](const char* pattern) {
    std::vector<std::string> found;
    for (const fs::path& file : ListMatchingFiles(tree.path(), pattern)) {
      EXPECT_EQ(file.parent_path(), tree.path());
      found.push_back(file.filename().string());
    }
    return found;
  };
  // Letter case ignored; folders and what lies below them left out.
  EXPECT_EQ(names("*.csv"), (std::vector<std::string>{"A.CSV", "b.csv"}));
  EXPECT_EQ(names("*.*"),
            (std::vector<std::string>{"A.CSV", "b.csv", "c.csv.bak", "dotless", "notes.txt"}));
  EXPECT_EQ(names("*."), (std::vector<std::string>{"dotless"}));
  EXPECT_TRUE(ListMatchingFiles(tree / "missing", "*.*").empty());
}

}  // namespace
}  // namespace listelo
