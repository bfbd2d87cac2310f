#include <gtest/gtest.h>

#include "support/temp_tree.h"
#include "transforms/equipment.h"
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
}

}  // namespace
}  // namespace listelo
