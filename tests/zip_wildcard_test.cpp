#include <gtest/gtest.h>

#include "delivery/zip_wildcard.h"

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

}  // namespace
}  // namespace listelo
