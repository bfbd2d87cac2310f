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

}  // namespace
}  // namespace listelo
