#include <gtest/gtest.h>

#include <string>

#include "transforms/options.h"

namespace listelo {
namespace {

TEST(UpperCaseItemsTest, KeepsTheItemsWrittenInCapitals) {
  const struct {
    const char* list;
    const char* kept;
  } cases[] = {
      {"ABS, Climatisation, GPS", "ABS|GPS|"},
      {"", ""},
      {"ABS", "ABS|"},
      {"abs", ""},
      {"ABS,,GPS", "ABS||GPS|"},            // an empty item qualifies
      {"ABS, , GPS", "ABS||GPS|"},          // one blank skipped, the item is empty
      {"ABS,  GPS", "ABS| GPS|"},           // only one blank is skipped
      {"ABS,", "ABS|"},                     // nothing after the last comma: no item
      {"16\", 4X4, 3.0", "16\"|4X4|3.0|"},  // items without lower-case letters
      {"ÉQUIPÉ, Équipé", "ÉQUIPÉ|"},        // accented capitals are capitals
      {"PACK Hiver, SIÈGES", "SIÈGES|"},
  };
  for (const auto& c : cases) EXPECT_EQ(UpperCaseItems(c.list, "|"), c.kept) << c.list;
  EXPECT_EQ(UpperCaseItems("ABS, Climatisation, GPS", "||"), "ABS||GPS||");
}

// What follows the first item counts up to 20000 characters: an item that straddles the
// limit is cut, those beyond it are lost.
TEST(UpperCaseItemsTest, TakesTwentyThousandCharactersAfterTheFirstItem) {
  const std::string filler(19995, 'X');
  const std::string list = "FIRST, " + filler + ",ABCDEFGH,LAST";
  EXPECT_EQ(UpperCaseItems(list, "|"), "FIRST|" + filler + "|ABCD|");
}

}  // namespace
}  // namespace listelo
