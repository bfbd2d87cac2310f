#include <gtest/gtest.h>

#include "platform/text.h"
#include "support/temp_tree.h"
#include "transforms/equipment.h"
#include "xml/stock_document.h"
#include "xml/xml_cursor.h"

namespace listelo {
namespace {

TEST(ExpandEquipmentTest, CodesBecomeLabels) {
  testing::TempTree tree;
  XmlCursorPtr root = CreateXmlCursor(PathMapper(tree.path()));
  root->Load(std::string(LISTELO_TEST_DATA) + "/xml/Stock.xml");
  XmlCursorPtr record = root->Select("/document/DataVOS/DataVO");
  struct Case {
    const char* codes;
    const char* expected;
  };
  const Case cases[] = {
      {";CLIM;ABS;", "Climatisation, Antiblocage"},
      {";CLIM;XX;ABS;", "Climatisation, , Antiblocage"},
      {"CLIM;ABS;", "CLIM, Antiblocage"},
      {";clim;Abs;", "Climatisation, Antiblocage"},  // looked up upper-cased
      {";CLIM;CLIM;", "Climatisation, Climatisation"},
      {";GPS;ABS", "Navigation GPS intégrée, ABS"},  // the last token is never looked up
      {";", ""},
      {";;", ""},
      {"", ""},
      {"ABS", "ABS"},
  };
  for (const Case& c : cases) EXPECT_EQ(ExpandEquipment(*record, c.codes), c.expected) << c.codes;
  // Any cursor of the document serves, the root included.
  EXPECT_EQ(ExpandEquipment(*root, ";GPS;"), "Navigation GPS intégrée");
  EXPECT_THROW(ExpandEquipment(*record, ";X' or '1'='1;"), XmlCursorError);
}

// The definition as it reads: each code between ";" looked up in turn, and every
// ";code;" of the text, any letter case, replaced at once, left to right.
std::string ExpandAsDefined(IXMLCursor& cursor, std::string_view codes) {
  if (codes.empty()) return {};
  std::string result(codes);
  std::string token;
  for (char c : codes) {
    if (c != ';') {
      token += c;
      continue;
    }
    if (!token.empty()) {
      XmlCursorPtr match = SelectEquipmentLabel(cursor, AnsiUpperCase(token));
      const std::string label = match->Eof() ? std::string() : match->GetValue("LibelleEquipement");
      result = AnsiReplaceAllIgnoreCase(result, ";" + token + ";", ";" + label + ";");
    }
    token.clear();
  }
  if (!result.empty() && result.front() == ';') result.erase(0, 1);
  if (!result.empty() && result.back() == ';') result.pop_back();
  return ReplaceAll(result, ";", ", ");
}

// Labels that interact with other codes: one is another code's name, one holds a ";",
// one is empty, one is a code of its own with its letter case changed.
TEST(ExpandEquipmentTest, EveryShortListAsDefined) {
  testing::TempTree tree;
  XmlCursorPtr root = CreateXmlCursor(PathMapper(tree.path()));
  root->LoadXML(
      "<?xml version=\"1.0\"?><document><LiensEquipementsS>"
      "<LiensEquipements><AbbrEquip>A</AbbrEquip><LibelleEquipement>B</LibelleEquipement>"
      "</LiensEquipements>"
      "<LiensEquipements><AbbrEquip>B</AbbrEquip><LibelleEquipement>Bleu</LibelleEquipement>"
      "</LiensEquipements>"
      "<LiensEquipements><AbbrEquip>C</AbbrEquip><LibelleEquipement></LibelleEquipement>"
      "</LiensEquipements>"
      "<LiensEquipements><AbbrEquip>\xC9</AbbrEquip><LibelleEquipement>\xE9"
      "</LibelleEquipement></LiensEquipements>"
      "<LiensEquipements><AbbrEquip>S</AbbrEquip><LibelleEquipement>x;A;y</LibelleEquipement>"
      "</LiensEquipements>"
      "</LiensEquipementsS></document>");
  const std::vector<std::string> pieces = {";", "A", "a", "B", "C", "\xE9", "S", "Z"};
  const auto check = [&](const std::string& list) {
    ASSERT_EQ(ExpandEquipment(*root, list), ExpandAsDefined(*root, list)) << list;
  };
  // Every list of up to five pieces: those with S go the way a label with ";" needs.
  std::vector<std::string> lists = {""};
  for (int length = 1; length <= 5; ++length) {
    std::vector<std::string> longer;
    for (const std::string& list : lists) {
      for (const std::string& piece : pieces) longer.push_back(list + piece);
    }
    for (const std::string& list : longer) check(list);
    lists = std::move(longer);
  }
}

TEST(EquipmentFlagTest, CodeBetweenSemicolonsInTheThreeSpellings) {
  struct Case {
    const char* list;
    const char* code;
    const char* one_zero;
    const char* yes_no;
    const char* column;
    const char* true_false;
  };
  const Case cases[] = {
      {";Clim;GPS;", "GPS", "1", "O", "O", "true"},
      {";Clim;GPS;", "Clim", "1", "O", "O", "true"},
      {";ClimAuto;", "Clim", "0", "N", "N", "false"},  // a whole code, not a part
      {";clim;", "Clim", "0", "N", "N", "false"},      // letter case significant
      {"Clim;GPS", "Clim", "0", "N", "N", "false"},    // no ";" before the first code
      {"Clim;GPS", "GPS", "0", "N", "N", "false"},     // nor after the last
      {"", "GPS", "", "", "N", ""},                    // an empty list gives no answer
      {";A;;B;", "", "1", "O", "O", "true"},           // the empty code: a list with ";;"
      {";A;B;", "", "0", "N", "N", "false"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EquipmentFlag(c.list, c.code, kOneZeroFlag), c.one_zero) << c.list << c.code;
    EXPECT_EQ(EquipmentFlag(c.list, c.code, kYesNoFlag), c.yes_no) << c.list << c.code;
    EXPECT_EQ(EquipmentFlag(c.list, c.code, kYesNoColumn), c.column) << c.list << c.code;
    EXPECT_EQ(EquipmentFlag(c.list, c.code, kTrueFalseFlag), c.true_false) << c.list << c.code;
  }
}

TEST(EquipmentLabelsTest, HeldCodesAndSectionsBecomeLabels) {
  testing::TempTree tree;
  XmlCursorPtr root = CreateXmlCursor(PathMapper(tree.path()));
  root->Load(std::string(LISTELO_TEST_DATA) + "/xml/Stock.xml");

  // In the order of the codes asked for, not of the list; codes not held add nothing.
  EXPECT_EQ(HeldEquipmentLabels(*root, ";GPS;ABS;CLIM;", {"CLIM", "GPS"}),
            "Climatisation, Navigation GPS intégrée");
  EXPECT_EQ(HeldEquipmentLabels(*root, ";ABS;", {"CLIM", "GPS"}), "");
  EXPECT_EQ(HeldEquipmentLabels(*root, "CLIM;GPS", {"CLIM", "GPS"}), "");
  EXPECT_EQ(HeldEquipmentLabels(*root, ";XX;", {"XX"}), "");  // held, without a label

  EXPECT_EQ(EquipmentLabelText(*root, {{";CLIM;GPS;", " - Int : ", "\r\n"},
                                       {"", " - Ext : ", "\r\n"},
                                       {";", " - Ext : ", "\r\n"},
                                       {";ABS;", " - Sec : ", "\r\n"}}),
            " - Int : Climatisation, Navigation GPS intégrée\r\n - Sec : Antiblocage\r\n");
  EXPECT_EQ(EquipmentLabelText(*root, {{";CLIM;", "", "|"}, {";ABS;", "", "|"}}),
            "Climatisation|Antiblocage|");
  EXPECT_EQ(EquipmentLabelText(*root, {}), "");

  // The lists that gave labels, for a portal that then searches its own codes in them.
  std::vector<std::string_view> labelled;
  EXPECT_EQ(EquipmentLabelText(*root, {{";CLIM;", "", "|"}, {";XX;", "", "|"}, {";ABS;", "", "|"}},
                               labelled),
            "Climatisation|Antiblocage|");
  EXPECT_EQ(labelled, (std::vector<std::string_view>{";CLIM;", ";ABS;"}));
  // The labels of the sections that have any, joined by ", ", beside the text.
  std::string labels = "left over";
  EXPECT_EQ(
      EquipmentLabelText(
          *root, {{";CLIM;GPS;", "I: ", ""}, {";", "E: ", ""}, {";ABS;", " S: ", ""}}, &labels),
      "I: Climatisation, Navigation GPS intégrée S: Antiblocage");
  EXPECT_EQ(labels, "Climatisation, Navigation GPS intégrée, Antiblocage");
  EXPECT_EQ(EquipmentLabelText(*root, {{"", "I: ", ""}}, &labels), "");
  EXPECT_EQ(labels, "");
}

}  // namespace
}  // namespace listelo
