#include <gtest/gtest.h>

#include "support/temp_tree.h"
#include "transforms/contact.h"
#include "xml/xml_cursor.h"

namespace listelo {
namespace {

// Three vehicles of sites S1 and S2, and site entries that chain: S1 maps the internal
// telephone A to B, and B (as a later entry) to C.
constexpr const char* kDocument = R"(<?xml version="1.0"?>
<document>
  <DataVOS EOF="False" RecordName="DataVO">
    <DataVO><id_Track>s1</id_Track><telephone>A</telephone><email>a@x</email></DataVO>
    <DataVO><id_Track>S2</id_Track><telephone>A</telephone><email>z@x</email></DataVO>
    <DataVO><id_Track>S3</id_Track><TEL>A</TEL><MAIL>a@x</MAIL></DataVO>
  </DataVOS>
  <InfosSRS EOF="False" RecordName="InfosSR">
    <InfosSR><idSite>S1</idSite><Telephone>A</Telephone><SRTel>B</SRTel><Mail>q@x</Mail><SRMail>no@x</SRMail></InfosSR>
    <InfosSR><idSite>S1</idSite><Telephone>B</Telephone><SRTel>C</SRTel><Mail>a@x</Mail><SRMail>pub1@x</SRMail></InfosSR>
    <InfosSR><idSite>S2</idSite><Telephone>A</Telephone><SRTel>D</SRTel><Mail>a@x</Mail><SRMail>pub2@x</SRMail></InfosSR>
    <InfosSR><idSite>S2</idSite><Telephone>A</Telephone><SRTel>E</SRTel><Mail>z@x</Mail><SRMail>pub3@x</SRMail></InfosSR>
    <InfosSR><idSite>S3</idSite><Telephone>A</Telephone><SRTel>F</SRTel><Mail>a@x</Mail><SRMail>pub4@x</SRMail></InfosSR>
  </InfosSRS>
</document>
)";

TEST(SiteContactTest, PublicTelephoneAndMailOfTheVehiclesSite) {
  testing::TempTree tree;
  XmlCursorPtr document = CreateXmlCursor(PathMapper(tree.path()));
  document->LoadXML(kDocument);
  XmlCursorPtr record = document->Select("/document/DataVOS/DataVO");

  // The site key is upper-cased; entries compare with the values from before the call,
  // so B is not taken on to C.
  ReplaceSiteContact(*document, *record);
  EXPECT_EQ(record->GetValue("telephone"), "B");
  EXPECT_EQ(record->GetValue("email"), "pub1@x");

  // The later of two matching entries wins.
  record->Next();
  ReplaceSiteContact(*document, *record);
  EXPECT_EQ(record->GetValue("telephone"), "E");
  EXPECT_EQ(record->GetValue("email"), "pub3@x");

  // Other field names, as some portals' records have them.
  record->Next();
  ReplaceSiteContact(*document, *record, "TEL", "MAIL");
  EXPECT_EQ(record->GetValue("TEL"), "F");
  EXPECT_EQ(record->GetValue("MAIL"), "pub4@x");
}

TEST(SiteContactTest, AKeyThatBreaksTheSelectionFails) {
  testing::TempTree tree;
  XmlCursorPtr document = CreateXmlCursor(PathMapper(tree.path()));
  document->LoadXML(kDocument);
  XmlCursorPtr record = document->Select("/document/DataVOS/DataVO");
  record->SetValue("id_Track", "S'1");
  EXPECT_THROW(ReplaceSiteContact(*document, *record), XmlCursorError);
}

}  // namespace
}  // namespace listelo
