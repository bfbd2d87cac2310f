#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/ini_file.h"
#include "support/temp_tree.h"
#include "xml/stock_document.h"

namespace listelo {
namespace {
using testing::TempTree;

TEST(SourceDocumentTest, PathPerTargetAndConfiguredFolder) {
  struct Case {
    const char* target;
    const char* path;
  };
  const Case cases[] = {
      {"PARUVENDU", "c:\\projects\\Quarno\\data\\Listelo\\ExpDatasPARUVENDU.xml"},
      {"LEBONCOIN", "c:\\projects\\Quarno\\data\\Listelo\\ExpDatasLEBONCOIN.xml"},
      {"AUTOSCOUT24", "c:\\projects\\Quarno\\data\\Listelo\\ExpDatasAutoScout24.xml"},
      {"RAD1", "c:\\projects\\Quarno\\data\\Listelo\\ExpDatasInfoPress.xml"},
      {"INFOPRESS", "c:\\projects\\Quarno\\data\\Listelo\\ExpDatasInfoPress.xml"},
      {"LARGUS", "c:\\projects\\Quarno\\data\\Listelo\\ExpDatasLArgus.xml"},
      {"PVO", "c:\\projects\\Quarno\\data\\Listelo\\ExpDatasPVO.xml"},
  };
  for (const Case& c : cases) EXPECT_EQ(SourceDocumentPath(IniFile(), c.target), c.path);
  EXPECT_EQ(SourceDocumentPath(IniFile::FromText("[Options]\nSourceFolder=d:\\stock\n"), "VPN"),
            "d:\\stock\\ExpDatasVPN.xml");
  EXPECT_EQ(SourceDocumentPath(IniFile::FromText("[Options]\nSourceFolder=d:\\stock\\\n"), "VPN"),
            "d:\\stock\\ExpDatasVPN.xml");
}

// Records whose keys exercise XPath's comparison rules: blanks, leading zeros,
// decimals, several key fields in one record, non-numbers, an empty key, a namespace.
const char* const kKeys = R"(<document xmlns:n="urn:n">
  <DataVOS>
    <DataVO><idVO>12</idVO><Marque>A</Marque></DataVO>
    <DataVO><idVO> 12 </idVO><Marque>B</Marque></DataVO>
    <DataVO><idVO>012</idVO><Marque>C</Marque></DataVO>
    <DataVO><idVO>12.0</idVO><Marque>D</Marque></DataVO>
    <DataVO><idVO>3</idVO><idVO>12</idVO><Marque>E</Marque></DataVO>
    <DataVO><idVO>abc</idVO><Marque>F</Marque></DataVO>
    <DataVO><idVO></idVO><Marque>G</Marque></DataVO>
    <DataVO><n:idVO>12</n:idVO><Marque>H</Marque></DataVO>
    <DataVO><idVO>-0</idVO><Marque>I</Marque></DataVO>
    <DataVO><idVO>1<b>2</b></idVO><Marque>J</Marque></DataVO>
    <DataVO><idVO>3</idVO><Marque>K</Marque></DataVO>
  </DataVOS>
  <DataVOS><DataVO><idVO>3</idVO><Marque>L</Marque></DataVO></DataVOS>
  <InfosSRS>
    <InfosSR><idSite>SITE1</idSite><Site>S1</Site><SRTel>1</SRTel></InfosSR>
    <InfosSR><idSite>site1</idSite><SRTel>2</SRTel></InfosSR>
    <InfosSR><idSite>SITE2</idSite><SRTel>3</SRTel></InfosSR>
    <InfosSR><idSite>a"b</idSite><SRTel>4</SRTel></InfosSR>
    <InfosSR><idSite>SITE1</idSite><SRTel>5</SRTel></InfosSR>
    <InfosSR><idSite>Société</idSite><SRTel>6</SRTel></InfosSR>
    <InfosSR><Site>L'ISLE-ADAM</Site><SRTel>7</SRTel></InfosSR>
    <InfosSR><Site>L'ISLE-ADAM</Site><SRTel>8</SRTel></InfosSR>
  </InfosSRS>
</document>)";

std::vector<xmlNode*> Nodes(IXMLCursor& cursor) {
  std::vector<xmlNode*> nodes;
  for (cursor.First(); !cursor.Eof(); cursor.Next()) nodes.push_back(cursor.XMLDOMNode());
  return nodes;
}

std::string Field(IXMLCursor& cursor, const char* field) {
  std::string values;
  for (cursor.First(); !cursor.Eof(); cursor.Next()) values += cursor.GetValue(field);
  return values;
}

class KeyLookupTest : public ::testing::Test {
 protected:
  KeyLookupTest() : root_(CreateXmlCursor(PathMapper(tree_.path()))) { root_->LoadXML(kKeys); }
  TempTree tree_;
  XmlCursorPtr root_;
};

TEST_F(KeyLookupTest, NumberKeysAnswerExactlyAsTheSelection) {
  for (const char* key : {"12", " 12 ", "012", "12.0", "3", "0", "-0", "7", "\t3\n", ".5", "99"}) {
    XmlCursorPtr indexed = SelectVehicle(*root_, key);
    XmlCursorPtr selected =
        root_->Select(std::string("/document/DataVOS/DataVO[idVO=") + key + "]");
    EXPECT_EQ(Nodes(*indexed), Nodes(*selected)) << key;
  }
  XmlCursorPtr twelve = SelectVehicle(*root_, "12");
  EXPECT_EQ(Field(*twelve, "Marque"), "ABCDEJ");
  // From a record cursor too.
  EXPECT_EQ(Field(*SelectVehicle(*twelve, "3"), "Marque"), "EKL");
}

TEST_F(KeyLookupTest, NumberKeysCannotWidenTheSelection) {
  for (const char* key :
       {"1 or 1=1", "abc", "12]|/document/InfosSRS/InfosSR[1", "1e1", "- 12", "true()"}) {
    EXPECT_TRUE(SelectVehicle(*root_, key)->Eof()) << key;
  }
  // The selection itself would take every record for the first one.
  EXPECT_EQ(root_->Select("/document/DataVOS/DataVO[idVO=1 or 1=1]")->Count(), 12);
  for (const char* key : {"", "  "}) {
    EXPECT_THROW(SelectVehicle(*root_, key), XmlCursorError) << "[" << key << "]";
  }
}

TEST_F(KeyLookupTest, TextKeysAnswerExactlyAsTheSelection) {
  for (const char* key : {"SITE1", "site1", "SITE2", "SITE3", "a\"b", "", "Société"}) {
    XmlCursorPtr indexed = SelectSiteContacts(*root_, key);
    XmlCursorPtr selected =
        root_->Select(std::string("/document/InfosSRS/InfosSR[idSite='") + key + "']");
    EXPECT_EQ(Nodes(*indexed), Nodes(*selected)) << key;
  }
  EXPECT_EQ(Field(*SelectSiteContacts(*root_, "SITE1"), "SRTel"), "15");
  EXPECT_EQ(Field(*SelectSiteContactsBySite(*root_, "S1"), "SRTel"), "1");
  for (const char* key : {"X' or '1'='1", "O'BRIEN", "'"}) {
    EXPECT_THROW(SelectSiteContacts(*root_, key), XmlCursorError) << key;
    EXPECT_THROW(SelectEquipmentLabel(*root_, key), XmlCursorError) << key;
  }
}

// A town is looked up as a value: one with an apostrophe finds its sites, and none can
// widen the selection.
TEST_F(KeyLookupTest, TownsAreLookedUpWhateverTheyHold) {
  for (const char* town : {"S1", "s1", "", "SITE1"}) {
    EXPECT_EQ(Nodes(*SelectSiteContactsBySite(*root_, town)),
              Nodes(*root_->Select(std::string("/document/InfosSRS/InfosSR[Site='") + town + "']")))
        << town;
  }
  EXPECT_EQ(Field(*SelectSiteContactsBySite(*root_, "L'ISLE-ADAM"), "SRTel"), "78");
  for (const char* town : {"L'ISLE", "X' or '1'='1", "'"}) {
    EXPECT_TRUE(SelectSiteContactsBySite(*root_, town)->Eof()) << town;
  }
}

TEST_F(KeyLookupTest, EditsThatChangeKeysAreSeen) {
  XmlCursorPtr vehicles = SelectVehicles(*root_);
  ASSERT_EQ(Field(*SelectVehicle(*root_, "3"), "Marque"), "EKL");
  // Unrelated edits keep the answers.
  vehicles->SetValue("NomPhoto1", "http://x/1.jpg");
  vehicles->AppendChild("NomPhoto2", "");
  EXPECT_EQ(Field(*SelectVehicle(*root_, "3"), "Marque"), "EKL");
  // A changed key, a deleted record, a new record, a key changed below its element.
  vehicles->SetValue("idVO", "3");
  EXPECT_EQ(Field(*SelectVehicle(*root_, "3"), "Marque"), "AEKL");
  SelectVehicle(*root_, "3")->Select("/document/DataVOS/DataVO[Marque='K']")->Delete();
  EXPECT_EQ(Field(*SelectVehicle(*root_, "3"), "Marque"), "AEL");
  XmlCursorPtr added = root_->Select("DataVOS")->AppendChild("DataVO", "");
  added->SetValue("idVO", "3");
  added->SetValue("Marque", "M");
  EXPECT_EQ(Field(*SelectVehicle(*root_, "3"), "Marque"), "AEML");
  root_->Select("/document/DataVOS/DataVO[Marque='J']/idVO/b")->SetValue(".", "5");
  EXPECT_EQ(Field(*SelectVehicle(*root_, "15"), "Marque"), "J");
  root_->Select("/document/InfosSRS/InfosSR[SRTel='5']")->SetValue("idSite", "SITE9");
  EXPECT_EQ(Field(*SelectSiteContacts(*root_, "SITE1"), "SRTel"), "1");
  root_->LoadXML(
      "<document><DataVOS><DataVO><idVO>3</idVO><Marque>N</Marque></DataVO></DataVOS></document>");
  EXPECT_EQ(Field(*SelectVehicle(*root_, "3"), "Marque"), "N");
}

TEST(StockDocumentTest, SharedSelectionsOverTheFixture) {
  TempTree tree;
  XmlCursorPtr root = CreateXmlCursor(PathMapper(tree.path()));
  root->Load(std::string(LISTELO_TEST_DATA) + "/xml/Stock.xml");
  EXPECT_EQ(SelectVehicles(*root)->Count(), 2);
  EXPECT_EQ(Field(*SelectPhotosOfVehicle(*root, "12"), "NomImage"), "2024/vo12-a2024/vo12-b");
  EXPECT_EQ(SelectPhotos(*root)->Count(), 3);
  EXPECT_EQ(Field(*SelectEquipmentLabel(*root, "GPS"), "LibelleEquipement"),
            "Navigation GPS intégrée");
  EXPECT_TRUE(SelectSites(*root)->Eof());

  XmlCursorPtr bare = CreateXmlCursor(PathMapper(tree.path()));
  bare->LoadXML("<document><DataVOS/></document>");
  EXPECT_TRUE(SelectSiteContacts(*bare, "SITE1")->Eof());
  EXPECT_TRUE(SelectPhotos(*bare)->Eof());
  EXPECT_TRUE(SelectVehicle(*bare, "1")->Eof());
}

TEST(StockDocumentTest, OnlyADocumentRootIsAStock) {
  struct Case {
    const char* what;
    const char* xml;
    const char* error;  // nullptr: loads as a stock
  };
  const Case cases[] = {
      {"no vehicles at all", "<?xml version=\"1.0\"?><document/>", nullptr},
      {"an empty vehicle set", "<document><DataVOS EOF=\"True\" RecordName=\"DataVO\"/></document>",
       nullptr},
      {"a web server's error page", "<html><body>502 Bad Gateway</body></html>",
       "son élément racine est <html> au lieu de <document>"},
      {"another export", "<stock><DataVOS/></stock>", "son élément racine est <stock>"},
      {"document in a namespace", "<document xmlns=\"urn:other\"><DataVOS/></document>",
       "<document> (espace de noms \"urn:other\")"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempTree tree;
    const PathMapper paths(tree.path());
    const std::string file = "c:\\stock\\ExpDatasPARUVENDU.xml";
    testing::WriteFile(paths.ToHost(file), c.xml);
    XmlCursorPtr root = CreateXmlCursor(paths);
    if (c.error == nullptr) {
      EXPECT_NO_THROW(LoadStockDocument(*root, file));
      EXPECT_TRUE(SelectVehicles(*root)->Eof());
      continue;
    }
    try {
      LoadStockDocument(*root, file);
      ADD_FAILURE() << "loaded";
    } catch (const XmlCursorError& error) {
      EXPECT_THAT(error.what(), ::testing::StartsWith("Le fichier \"" + file +
                                                      "\" n'est pas un document de stock"));
      EXPECT_THAT(error.what(), ::testing::HasSubstr(c.error));
    }
  }
}

}  // namespace
}  // namespace listelo
