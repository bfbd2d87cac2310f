#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "platform/text.h"
#include "support/temp_tree.h"
#include "xml/stock_document.h"
#include "xml/xml_cursor.h"

namespace listelo {
namespace {
namespace fs = std::filesystem;
using ::testing::HasSubstr;
using testing::ReadFile;
using ::testing::StartsWith;
using testing::TempTree;
using testing::WriteFile;

const std::string kData = std::string(LISTELO_TEST_DATA) + "/xml/";

// A cursor whose "c:" drive lives in a temporary tree, with the fixtures copied to
// c:\data.
class XmlCursorTest : public ::testing::Test {
 protected:
  XmlCursorTest() : paths_(tree_.path()) {
    fs::create_directories(tree_ / "c/data");
    for (const auto& entry : fs::directory_iterator(kData)) {
      fs::copy_file(entry.path(), tree_ / "c/data" / entry.path().filename());
    }
  }

  XmlCursorPtr NewCursor() { return CreateXmlCursor(paths_); }
  XmlCursorPtr LoadStock() {
    XmlCursorPtr cursor = NewCursor();
    cursor->Load("c:\\data\\Stock.xml");
    return cursor;
  }
  XmlCursorPtr FromText(const std::string& text) {
    XmlCursorPtr cursor = NewCursor();
    cursor->LoadXML(text);
    return cursor;
  }
  std::string ErrorOf(const std::function<void()>& action) {
    try {
      action();
    } catch (const XmlCursorError& error) {
      return error.what();
    }
    return "(no error)";
  }

  TempTree tree_;
  PathMapper paths_;
};

TEST_F(XmlCursorTest, LoadsAndWalksRecordsFromAnyCursor) {
  XmlCursorPtr root = LoadStock();
  EXPECT_EQ(root->GetName(), "document");
  XmlCursorPtr records = root->Select("/document/DataVOS/DataVO");
  ASSERT_EQ(records->Count(), 2);
  EXPECT_EQ(records->GetValue("Marque"), "Citroën");
  EXPECT_EQ(records->GetValue("Absent"), "");
  EXPECT_EQ(records->Select("idVO")->GetValue("."), "12");
  // An absolute expression searches the whole document from a record too.
  EXPECT_EQ(records->Select("/document/DataVOS/DataVO")->Count(), 2);
  EXPECT_EQ(root->Select("DataVOS")->GetValue("@RecordName"), "DataVO");

  std::vector<std::string> ids;
  for (; !records->Eof(); records->Next()) ids.push_back(records->GetValue("idVO"));
  EXPECT_EQ(ids, (std::vector<std::string>{"12", "7"}));
  // Past the last node: EOF, but the cursor still reads the last node.
  EXPECT_EQ(records->GetValue("idVO"), "7");
  EXPECT_EQ(records->Position(), 1);
}

TEST_F(XmlCursorTest, SelectingFromTheEndGivesAFreshCursor) {
  XmlCursorPtr none = LoadStock()->Select("/document/Nothing");
  EXPECT_TRUE(none->Eof());
  XmlCursorPtr further = none->Select("/document/DataVOS/DataVO");
  EXPECT_TRUE(further->Eof());
  EXPECT_EQ(further->GetValue("idVO"), "");
  EXPECT_EQ(further->XMLDOMDocument(), nullptr);
  EXPECT_EQ(further->XML(), "");
}

TEST_F(XmlCursorTest, MoveToChecksTheRange) {
  XmlCursorPtr root = LoadStock();
  XmlCursorPtr sites = root->Select("/document/InfosSRS/InfosSR");
  EXPECT_EQ(ErrorOf([&] { sites->MoveTo(5); }), "TXMLCursor.MoveTo - Index out of range: 5/3");
  XmlCursorPtr none = root->Select("/document/Nothing");
  none->MoveTo(0);
  none->Last();
  EXPECT_TRUE(none->Eof());
}

TEST_F(XmlCursorTest, ValuesAreStoredVerbatimAndEscapedOnOutput) {
  const std::vector<std::string> values = {
      "Fish & Chips",        "a < b > c",
      "\"double\" 'single'", "fin ]]> de CDATA",
      "&amp; stays &amp;",   "Voiture d’occasion à 9 990 €",
      "  blanks  ",          "",
  };
  for (const std::string& value : values) {
    XmlCursorPtr record = LoadStock()->Select("/document/DataVOS/DataVO");
    record->SetValue("Texte", value);
    record->SetValue("@note", value);
    record->SetValueAsCDATA("Cdata", value);
    EXPECT_EQ(record->GetValue("Texte"), value);
    EXPECT_EQ(record->GetValue("@note"), value);
    EXPECT_EQ(record->GetValue("Cdata"), value);
    // What XML() writes reads back as the same values.
    XmlCursorPtr again = FromText(record->Select("/document")->XML());
    XmlCursorPtr copy = again->Select("/document/DataVOS/DataVO");
    EXPECT_EQ(copy->GetValue("Texte"), value) << value;
    EXPECT_EQ(copy->GetValue("@note"), value) << value;
    EXPECT_EQ(copy->GetValue("Cdata"), value) << value;
  }
  XmlCursorPtr record = FromText("<r/>");
  record->SetValue("v", "Fish & <Chips>");
  EXPECT_EQ(record->XML(), "<?xml version=\"1.0\"?>\n<r><v>Fish &amp; &lt;Chips&gt;</v></r>\n");
}

TEST_F(XmlCursorTest, SetValueAppendsAMissingChildLastThenReplacesItsText) {
  XmlCursorPtr record = LoadStock()->Select("/document/DataVOS/DataVO");
  record->SetValue("New", "one");
  record->SetValue("New", "two");
  record->SetValue("@type", "VO");
  EXPECT_THAT(record->XML(), HasSubstr("<NomPhoto1></NomPhoto1><New>two</New></DataVO>"));
  EXPECT_THAT(record->XML(), StartsWith("<DataVO type=\"VO\">"));
  EXPECT_EQ(record->Select("New")->Count(), 1);
  // A text with markup in it replaces the element's children.
  record->SetValue("Marque", "");
  EXPECT_THAT(record->XML(), HasSubstr("<Marque></Marque>"));
}

// Appending many children at once builds what appending them one by one builds.
TEST_F(XmlCursorTest, ChildrenAppendedTogetherAsOneByOne) {
  XmlCursorPtr together = LoadStock()->Select("/document/DataVOS/DataVO");
  XmlCursorPtr one_by_one = LoadStock()->Select("/document/DataVOS/DataVO");
  const std::vector<IXMLCursor::AttributedText> children = {
      {"A", "first & <one>"}, {"B", ""}, {"C’", "third é"}};
  together->AppendChildren("complement", "type", children);
  for (const IXMLCursor::AttributedText& child : children)
    one_by_one->AppendChild("complement", child.text)->SetAttribute("type", child.attribute_value);
  EXPECT_EQ(together->XML(), one_by_one->XML());
  EXPECT_THAT(together->XML(), HasSubstr("<complement type=\"B\"></complement>"));

  XmlCursorPtr at_end = together->Select("NoSuchField");
  EXPECT_EQ(ErrorOf([&] { at_end->AppendChildren("complement", "type", children); }),
            "TXMLCursor.AppendChild - EOF");
  EXPECT_EQ(ErrorOf([&] { together->AppendChildren("bad name", "type", children); }),
            "The name 'bad name' is not a valid element name.");
}

TEST_F(XmlCursorTest, EmptyElementsKeepStartAndEndTags) {
  XmlCursorPtr root = FromText("<document><a/><b></b><c> </c><d>x</d></document>");
  EXPECT_EQ(root->XML(),
            "<?xml version=\"1.0\"?>\n<document><a></a><b></b><c></c><d>x</d></document>\n");
  XmlCursorPtr built = NewCursor();
  built->AppendChild("listepa", "")->AppendChild("annonce", "");
  EXPECT_EQ(built->XML(), "<?xml version=\"1.0\"?>\n<listepa><annonce></annonce></listepa>\n");
}

TEST_F(XmlCursorTest, XmlOfTheRootIsTheWholeDocumentAndOfARecordItsMarkup) {
  XmlCursorPtr root = LoadStock();
  const std::string whole = root->XML();
  EXPECT_THAT(whole, StartsWith("<?xml version=\"1.0\"?>\n<document><DataVOS EOF=\"False\" "
                                "RecordName=\"DataVO\"><DataVO><idVO>12</idVO>"));
  EXPECT_THAT(whole,
              HasSubstr("<Aliases EOF=\"True\" RecordName=\"Alias\"></Aliases></document>\n"));
  EXPECT_EQ(root->Select("/document/DataVOS/DataVO[2]/idVO")->XML(), "<idVO>7</idVO>");
  EXPECT_EQ(root->Select("/document/DataVOS/DataVO[2]/idVO")->ContainerXML().substr(0, 20),
            "<DataVO><idVO>7</idV");
}

TEST_F(XmlCursorTest, DeletingWhileWalkingASelectionVisitsEveryRecordOnce) {
  XmlCursorPtr root = LoadStock();
  XmlCursorPtr sites = root->Select("/document/InfosSRS/InfosSR");
  std::vector<std::string> seen;
  for (; !sites->Eof(); sites->Next()) {
    seen.push_back(sites->GetValue("SRTel"));
    if (sites->GetValue("idSite") == "SITE1") sites->Delete();
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"08 00 00 00 01", "08 00 00 00 02", "08 00 00 00 03"}));
  EXPECT_EQ(root->Select("/document/InfosSRS/InfosSR")->Count(), 1);
  // Deleting a section through a selection.
  root->Select("/document/LiensImagesS")->Delete();
  EXPECT_THAT(root->XML(), ::testing::Not(HasSubstr("LiensImages")));
}

TEST_F(XmlCursorTest, ChildListsAreLive) {
  XmlCursorPtr root = FromText("<document><a/><b/></document>");
  XmlCursorPtr children = root->Select("*");
  EXPECT_EQ(children->Count(), 2);
  XmlCursorPtr added = root->AppendChild("c", "3");
  EXPECT_EQ(children->Count(), 3);
  EXPECT_EQ(added->GetName(), "c");
  EXPECT_EQ(added->Position(), 2);
  // Shrinking a live list under a walking cursor ends the walk instead of running on.
  children->MoveTo(2);
  root->Select("a")->Delete();
  root->Select("b")->Delete();
  children->Next();
  EXPECT_TRUE(children->Eof());
}

TEST_F(XmlCursorTest, EditsAreSharedAndReloadingKeepsOldCursorsUsable) {
  XmlCursorPtr root = LoadStock();
  XmlCursorPtr records = root->Select("/document/DataVOS/DataVO");
  records->SetValue("idNVO", "BeAE07-4501");
  EXPECT_THAT(root->XML(), HasSubstr("<idNVO>BeAE07-4501</idNVO>"));
  root->LoadXML("<document><DataVOS><DataVO><idVO>99</idVO></DataVO></DataVOS></document>");
  // The old record cursor still stands on its (former) node.
  EXPECT_EQ(records->GetValue("idNVO"), "BeAE07-4501");
  records->Next();
  EXPECT_EQ(records->GetValue("Marque"), "Peugeot");
  EXPECT_EQ(root->Select("/document/DataVOS/DataVO")->GetValue("idVO"), "99");
  EXPECT_THAT(records->XMLDOMDocument() == root->XMLDOMDocument(), true);
}

TEST_F(XmlCursorTest, BuildsADocumentFromNothing) {
  XmlCursorPtr doc = NewCursor();
  XmlCursorPtr root = doc->AppendChild("listepa", "");
  EXPECT_EQ(doc->GetName(), "listepa");
  XmlCursorPtr ad = root->AppendChild("annonce", "");
  ad->AppendChild("reference", "BeAE07-12");
  ad->SetAttribute("type", "VO");
  XmlCursorPtr before = ad->Select("reference")->InsertBefore("titre", "Peugeot");
  before->InsertAfter("texte", "x");
  ad->PrependChild("id", "1");
  EXPECT_EQ(ad->XML(),
            "<annonce type=\"VO\"><id>1</id><titre>Peugeot</titre><texte>x</texte>"
            "<reference>BeAE07-12</reference></annonce>");
  // A cursor selected at the end is fresh: appending to it starts a document of its own.
  XmlCursorPtr fresh = doc->Select("/listepa/nothing")->Select("x");
  fresh->AppendChild("other", "");
  EXPECT_EQ(fresh->XML(), "<?xml version=\"1.0\"?>\n<other></other>\n");
  EXPECT_THAT(doc->XML(), ::testing::Not(HasSubstr("other")));
  EXPECT_EQ(ErrorOf([&] { doc->Select("/listepa/annonce")->AppendChild("bad name", ""); }),
            "The name 'bad name' is not a valid element name.");
}

TEST_F(XmlCursorTest, AppendChildAtTheEndFails) {
  XmlCursorPtr root = FromText("<document><a/></document>");
  XmlCursorPtr list = root->Select("/document/a");
  list->Delete();  // a snapshot keeps the node: still positioned
  XmlCursorPtr children = root->Select("*");
  EXPECT_TRUE(children->Eof());
  EXPECT_EQ(ErrorOf([&] { children->AppendChild("b", ""); }), "TXMLCursor.AppendChild - EOF");
}

TEST_F(XmlCursorTest, CopiesAndReplacesNodesOfOtherCursors) {
  XmlCursorPtr source = FromText("<s><x>1</x><x>2</x></s>");
  XmlCursorPtr target = FromText("<t><old/></t>");
  target->AppendXMLCursor(*source->Select("x"));
  EXPECT_EQ(target->XML(), "<?xml version=\"1.0\"?>\n<t><old></old><x>1</x><x>2</x></t>\n");
  XmlCursorPtr old = target->Select("old");
  old->ReplaceWithXMLCursor(*source->Select("x[1]"));
  EXPECT_EQ(target->XML(), "<?xml version=\"1.0\"?>\n<t><x>1</x><x>1</x><x>2</x></t>\n");
  XmlCursorPtr empty = NewCursor();
  EXPECT_EQ(ErrorOf([&] { empty->AppendXMLCursor(*source->Select("x")); }),
            "TXMLCursor.AppendXMLCursor - Cannot add XMLCursor to current since it has more than "
            "one element.");
  EXPECT_EQ(ErrorOf([&] { empty->ReplaceWithXMLCursor(*source); }),
            "TXMLCursor.ReplaceWithXMLCursor - FXMLDOMDocument = nil");
  empty->AppendXMLCursor(*source->Select("x[2]"));
  EXPECT_EQ(empty->GetName(), "x");
  EXPECT_EQ(empty->Document()->Count(), 1);
  EXPECT_EQ(source->PrettyXML(), "<s>\n  <x>1</x>\n  <x>2</x>\n</s>");
}

TEST_F(XmlCursorTest, RootNamespacesServeAsXPathPrefixes) {
  XmlCursorPtr root = FromText("<doc xmlns:p=\"urn:p\"><p:a>1</p:a><a>2</a></doc>");
  EXPECT_EQ(root->Select("p:a")->GetValue("."), "1");
  EXPECT_EQ(root->GetValue("a"), "2");
  EXPECT_EQ(root->Select("p:a")->GetName(), "p:a");
}

TEST_F(XmlCursorTest, BadExpressionsAndNamesFailWithTheLibrarysMessage) {
  XmlCursorPtr root = LoadStock();
  EXPECT_THAT(ErrorOf([&] { root->Select("/document/DataVOS/DataVO[idVO=]"); }),
              HasSubstr("\r\n/document/DataVOS/DataVO[idVO=]"));
  EXPECT_THAT(ErrorOf([&] { root->Select("count(/document)"); }),
              StartsWith("Expression does not evaluate to a node-set."));
  EXPECT_EQ(ErrorOf([&] { root->SetValue("a/b", "x"); }),
            "The name 'a/b' is not a valid element name.");
}

TEST_F(XmlCursorTest, SavesInTheDeclaredEncodingCreatingTheFolders) {
  XmlCursorPtr iso = NewCursor();
  iso->Load("c:\\data\\Iso885915.xml");
  EXPECT_EQ(iso->GetValue("Marque"), "Citroën €");
  iso->SetValue("Texte", "d’occasion");
  iso->Save("c:\\windows\\TEMP\\Listelo\\sub\\iso.xml");
  EXPECT_EQ(
      ReadFile(tree_ / "c/windows/TEMP/Listelo/sub/iso.xml"),
      "<?xml version=\"1.0\" encoding=\"ISO-8859-15\" ?>\n"
      "<document><Marque>Citro\xEBn \xA4</Marque><Texte>d&#8217;occasion</Texte></document>\n");

  XmlCursorPtr plain = FromText("<document><Marque>Citroën €</Marque><e/></document>");
  plain->Save("c:\\out\\plain.xml");
  EXPECT_EQ(ReadFile(tree_ / "c/out/plain.xml"),
            "<?xml version=\"1.0\"?>\n<document><Marque>Citro\xC3\xABn \xE2\x82\xAC</Marque><e></e>"
            "</document>\n");

  // Text handed over in memory with an encoding in its declaration is saved in it.
  XmlCursorPtr rewritten = FromText("<?xml version=\"1.0\" encoding=\"ISO-8859-15\" ?><a>é€’</a>");
  rewritten->Save("c:\\out\\rewritten.xml");
  EXPECT_EQ(ReadFile(tree_ / "c/out/rewritten.xml"),
            "<?xml version=\"1.0\" encoding=\"ISO-8859-15\" ?>\n<a>\xE9\xA4&#8217;</a>\n");

  EXPECT_EQ(ErrorOf([&] { plain->Save("bare.xml"); }),
            "TXMLCursor.Save FileName: \"bare.xml\"\r\nCannot Create Blank Directory");
  WriteFile(tree_ / "c/blocked", "a file where a folder should be");
  EXPECT_THAT(ErrorOf([&] { plain->Save("c:\\blocked\\x.xml"); }),
              StartsWith("TXMLCursor.Save FileName: \"c:\\blocked\\x.xml\"\r\n"));
  NewCursor()->Save("c:\\out\\nothing.xml");  // no document: nothing written
  EXPECT_FALSE(fs::exists(tree_ / "c/out/nothing.xml"));
}

// One serialisation for several files (the dated copy and the file to send) leaves them
// as saving them one after the other would: a file that cannot be written stops the
// files after it, and those before it are complete.
TEST_F(XmlCursorTest, SavingToEachFileWritesThemInTurn) {
  XmlCursorPtr doc = FromText("<document><Marque>Citroën</Marque></document>");
  const std::string saved =
      "<?xml version=\"1.0\"?>\n<document><Marque>Citro\xC3\xABn</Marque></document>\n";
  doc->SaveToEach({"c:\\out\\a.xml", "c:\\out\\sub\\b.xml"});
  EXPECT_EQ(ReadFile(tree_ / "c/out/a.xml"), saved);
  EXPECT_EQ(ReadFile(tree_ / "c/out/sub/b.xml"), saved);

  WriteFile(tree_ / "c/blocked", "a file where a folder should be");
  WriteFile(tree_ / "c/out/c.xml", "old");
  XmlCursorPtr other = FromText("<document><Marque>Peugeot</Marque></document>");
  EXPECT_THAT(ErrorOf([&] {
                other->SaveToEach({"c:\\out\\a.xml", "c:\\blocked\\b.xml", "c:\\out\\c.xml"});
              }),
              StartsWith("TXMLCursor.Save FileName: \"c:\\blocked\\b.xml\"\r\n"));
  EXPECT_THAT(ReadFile(tree_ / "c/out/a.xml"), ::testing::HasSubstr("Peugeot"));
  EXPECT_EQ(ReadFile(tree_ / "c/out/c.xml"), "old");
  // Nothing is left behind in the folders but the files themselves.
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(tree_ / "c/out"))
    names.insert(entry.path().filename().string());
  EXPECT_EQ(names, (std::set<std::string>{"a.xml", "c.xml", "sub"}));
}

// A check made while the files are written (the markup read back) stops them before they
// take their names: the files stay as they were, and nothing is left beside them.
TEST_F(XmlCursorTest, SavingMarkupStopsBeforeNamingWhenTheLastStepFails) {
  WriteFile(tree_ / "c/out/a.xml", "old a");
  const std::string markup = "<?xml version=\"1.0\"?>\n<document>new</document>\n";
  EXPECT_EQ(ErrorOf([&] {
              NewCursor()->SaveMarkupToEach({"c:\\out\\a.xml", "c:\\out\\b.xml"}, markup,
                                            [] { throw XmlCursorError("does not read back"); });
            }),
            "does not read back");
  EXPECT_EQ(ReadFile(tree_ / "c/out/a.xml"), "old a");
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(tree_ / "c/out"))
    names.insert(entry.path().filename().string());
  EXPECT_EQ(names, (std::set<std::string>{"a.xml"}));
  bool ran = false;
  NewCursor()->SaveMarkupToEach({"c:\\out\\a.xml"}, markup, [&] {
    ran = true;
    EXPECT_EQ(ReadFile(tree_ / "c/out/a.xml"), "old a");
  });
  EXPECT_TRUE(ran);
  EXPECT_EQ(ReadFile(tree_ / "c/out/a.xml"), markup);
}

// The exporters write the copy of a rewritten markup without parsing it again: the file
// must hold what loading the markup and saving it would, whatever the text holds. A
// document of some megabytes is written in several pieces both ways.
TEST_F(XmlCursorTest, SavingMarkupWritesWhatSavingItsReloadedDocumentWould) {
  XmlCursorPtr stock = LoadStock();
  XmlCursorPtr records = stock->Select("/document/DataVOS/DataVO");
  records->SetValue("Marque", "Line one\r\nline two & <three> \"four\" \t'five' Œ€’ \x81 ¤½");
  records->SetAttribute("note", "a\tb\nc \"d\" <e> & f é’€");
  records->SetValueAsCDATA("Texte", "brut ’€¤ & <x>");
  records->AppendChild("Vide", "");
  std::string big = "<document>";
  for (int i = 0; i < 60'000; ++i)
    big += "<DataVO><Texte>ligne é " + std::to_string(i) + "</Texte></DataVO>";
  big += "</document>";
  const std::string plain = "<?xml version=\"1.0\"?>";
  const auto declaring = [&](const std::string& markup, const std::string& declaration) {
    return declaration + markup.substr(plain.size());
  };
  const std::string edited = stock->XML() + "<!-- note ’€¤ -->\n";
  // A document read without a declared encoding writes its attributes' accented letters
  // as hexadecimal references, which a document declaring one would not write again.
  XmlCursorPtr built = NewCursor()->AppendChild("document", "é");
  built->SetAttribute("a", "é’");
  const std::string undeclared = built->XML();
  ASSERT_THAT(undeclared, HasSubstr("&#x"));
  // Every character of Windows-1252 in a text, an attribute, a CDATA section and a
  // comment: those the declared set lacks become references wherever they stand.
  std::string every_character;
  for (int c = 0x20; c < 0x100; ++c) every_character += static_cast<char>(c);
  std::string as_text = AnsiReplaceAllIgnoreCase(every_character, "&", "&amp;");
  as_text = AnsiReplaceAllIgnoreCase(as_text, "<", "&lt;");
  as_text = AnsiReplaceAllIgnoreCase(as_text, ">", "&gt;");
  const std::string as_attribute = AnsiReplaceAllIgnoreCase(as_text, "\"", "&quot;");
  const std::string everywhere =
      "<document><a v=\"" + as_attribute + "\">" + as_text + "<![CDATA[" +
      AnsiReplaceAllIgnoreCase(every_character, "]", "") + "]]></a><!-- " +
      AnsiReplaceAllIgnoreCase(every_character, "-", "") + " --></document>\n";
  const std::string markups[] = {
      stock->XML(),
      AnsiReplaceAllIgnoreCase(AnsiReplaceAllIgnoreCase(stock->XML(), "<Marque>", "<marque>"),
                               "</Marque>", "</marque>"),
      FromText(big)->XML(),
      declaring(edited, "<?xml version=\"1.0\" encoding=\"ISO-8859-15\" ?>"),
      declaring(edited, "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>"),
      declaring(edited, "<?xml version=\"1.0\" encoding='windows-1252' standalone=\"yes\"?>"),
      declaring(edited, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"),
      declaring(undeclared, "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>"),
      "<?xml version=\"1.0\" encoding=\"ISO-8859-15\" ?>\n" + everywhere,
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n" + everywhere,
      "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n" + everywhere,
      declaring(FromText(big)->XML(), "<?xml version=\"1.0\" encoding=\"ISO-8859-15\" ?>"),
  };
  for (const std::string& markup : markups) {
    SCOPED_TRACE(markup.substr(0, 80));
    FromText(markup)->Save("c:\\out\\reloaded.xml");
    NewCursor()->SaveMarkup("c:\\out\\markup.xml", markup);
    EXPECT_EQ(ReadFile(tree_ / "c/out/markup.xml"), ReadFile(tree_ / "c/out/reloaded.xml"));
  }
  EXPECT_GT(fs::file_size(tree_ / "c/out/markup.xml"), 2u << 20);
  // An encoding the library lacks fails as saving the reloaded document fails.
  const std::string unknown = declaring(edited, "<?xml version=\"1.0\" encoding=\"X-NONE\"?>");
  EXPECT_EQ(ErrorOf([&] { NewCursor()->SaveMarkup("c:\\out\\unknown.xml", unknown); }),
            ErrorOf([&] { FromText(unknown)->Save("c:\\out\\unknown.xml"); }));
}

// A field of megabytes ends up in expressions and rewritten texts; the message that quotes
// it stays a few hundred characters long and says how much it left out.
TEST_F(XmlCursorTest, ErrorsQuoteOnlyTheStartOfAHugeText) {
  const std::string huge(2'000'000, 'x');
  XmlCursorPtr root = LoadStock();
  struct Case {
    const char* what;
    std::function<void()> action;
    const char* head;
    bool says_what_is_left_out;  // a parse error shows a window of its line instead
  };
  const Case cases[] = {
      {"a key that breaks its literal", [&] { SelectSiteContacts(*root, "O'" + huge); },
       "Invalid expression: a quote ends the literal early\r\n"
       "/document/InfosSRS/InfosSR[idSite='O'xx",
       true},
      {"an invalid expression", [&] { root->Select("/document[" + huge + "!]"); }, "", true},
      {"a rewritten text that does not parse",
       [&] { NewCursor()->LoadXML("<a><b>" + huge + "</a>"); }, "Error 76 on line 1, char ", false},
      {"a huge name", [&] { NewCursor()->LoadXML("<a" + huge + "></b>"); },
       "Error 110 on line 1, char ", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string error = ErrorOf(c.action);
    EXPECT_LT(error.size(), 1500u) << error.substr(0, 2000);
    EXPECT_THAT(error, StartsWith(c.head));
    if (c.says_what_is_left_out) {
      EXPECT_THAT(error, HasSubstr(" more characters)"));
    }
  }
}

// Exporters write a document's own markup as its saved file instead of reloading it:
// the reloaded document would be saved as exactly that markup in UTF-8.
TEST_F(XmlCursorTest, SavingTheReloadedMarkupWritesTheMarkup) {
  XmlCursorPtr stock = LoadStock();
  stock->SetValue("DataVOS/DataVO/Marque", "Citroën & « Œuvre » <\"’\r\t€");
  stock->Select("DataVOS/DataVO")->SetAttribute("a", "x\ty\"z<\n");
  stock->Select("DataVOS/DataVO")->AppendChild("Vide", "");
  const std::string markup = stock->XML();
  XmlCursorPtr reloaded = FromText(markup);
  reloaded->Save("c:\\out\\reloaded.xml");
  EXPECT_EQ(ReadFile(tree_ / "c/out/reloaded.xml"), AnsiToUtf8(markup));
}

// Taking the markup gives what XML() gives of the same document, whoever else holds the
// document, and lets go of it.
TEST_F(XmlCursorTest, TakingTheMarkupGivesItsXmlAndLetsTheDocumentGo) {
  const auto edited = [&] {
    XmlCursorPtr stock = LoadStock();
    XmlCursorPtr records = stock->Select("/document/DataVOS/DataVO");
    records->SetValue("Marque", "Line one\r\nline two & <three> \"four\" Œ€");
    records->AppendChild("Vide", "");
    stock->Select("/document/DataVOS/DataVO[2]")->Delete();
    return stock;
  };
  std::string many = "<document><DataVOS>";
  for (int i = 0; i < 5000; ++i)
    many += "<DataVO><idVO>" + std::to_string(i) + "</idVO><Texte>é</Texte></DataVO>";
  many += "</DataVOS><!-- fin --></document>";
  struct Case {
    const char* what;
    std::function<XmlCursorPtr()> make;
    const char* other;  // a second cursor over the document, kept while taking: XPath or ""
    const char* from;   // the cursor that takes: XPath from the document, or "" for it
    IXMLCursor::FreedMemory freed;
  };
  const Case cases[] = {
      {"edited stock, alone", edited, "", "", IXMLCursor::FreedMemory::kKeptForReuse},
      {"edited stock, a record cursor kept", edited, "/document/DataVOS/DataVO", "",
       IXMLCursor::FreedMemory::kReturned},
      {"a record's own markup", edited, "", "/document/DataVOS/DataVO[1]",
       IXMLCursor::FreedMemory::kReturned},
      {"thousands of records", [&] { return FromText(many); }, "", "",
       IXMLCursor::FreedMemory::kReturned},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    XmlCursorPtr expected_document = c.make();
    XmlCursorPtr expected_from = *c.from ? expected_document->Select(c.from) : expected_document;
    const std::string expected = expected_from->XML();

    XmlCursorPtr document = c.make();
    XmlCursorPtr other = *c.other ? document->Select(c.other) : nullptr;
    XmlCursorPtr from = *c.from ? document->Select(c.from) : document;
    EXPECT_EQ(from->TakeXML(c.freed), expected);
    EXPECT_EQ(from->XML(), "");
    EXPECT_TRUE(from->Eof());
    if (other) {
      EXPECT_EQ(other->GetValue("idVO"), "12");  // still over the whole document
    }
  }
}

// Saving, deleting sections and taking the markup in one call gives the file and the
// markup that the three steps give one after the other, however the document is declared
// and held and wherever the sections stand.
TEST_F(XmlCursorTest, SavingThenTakingGivesWhatTheThreeStepsGive) {
  const std::string records =
      "<DataVOS EOF=\"False\" RecordName=\"DataVO\"><DataVO><idVO>12</idVO>"
      "<Marque>Citro\xC3\xABn \xC5\x92\xE2\x82\xAC \xE4\xB8\xAD &amp; &lt;</Marque><Vide/>"
      "</DataVO><DataVO><idVO>13</idVO></DataVO></DataVOS>";
  const std::string photos =
      "<LiensImagesS><LiensImages><idVO>12</idVO></LiensImages></LiensImagesS>";
  const std::string labels = "<LiensEquipementsS><L>Clim</L></LiensEquipementsS>";
  const std::string sections =
      records + "<InfosSRS><S>x</S></InfosSRS>" + photos + labels + "<Aliases><A/></Aliases>";
  const std::string utf8 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  const std::vector<std::string_view> aux = {"/document/LiensImagesS",
                                             "/document/LiensEquipementsS", "/document/Aliases"};
  struct Case {
    const char* what;
    std::string file;  // c:\data\In.xml
    std::vector<std::string_view> left_out;
    const char* other;  // a second cursor over the document, kept while taking: XPath or ""
    IXMLCursor::FreedMemory freed;
  };
  const Case cases[] = {
      {"the stock's sections at its end", utf8 + "<document>" + sections + "</document>", aux, "",
       IXMLCursor::FreedMemory::kReturned},
      {"kept for reuse, a section missing", utf8 + "<document>" + records + labels + "</document>",
       aux, "", IXMLCursor::FreedMemory::kKeptForReuse},
      {"sections before and between the records, nodes beside the root",
       "<?xml version='1.0'?>\n<!-- avant --><document>" + photos + records + "<Aliases/>" +
           labels + "</document><?fin x?>",
       aux, "", IXMLCursor::FreedMemory::kReturned},
      {"no declaration", "<document>" + sections + "</document>", aux, "",
       IXMLCursor::FreedMemory::kReturned},
      {"a record cursor kept", utf8 + "<document>" + sections + "</document>", aux,
       "/document/DataVOS/DataVO", IXMLCursor::FreedMemory::kReturned},
      {"declared ISO-8859-1",
       "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<document>" + records + photos +
           "</document>",
       aux, "", IXMLCursor::FreedMemory::kReturned},
      {"a record left out, not a section",
       utf8 + "<document>" + sections + "</document>",
       {"/document/DataVOS/DataVO[2]", "/document/Aliases"},
       "",
       IXMLCursor::FreedMemory::kReturned},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFile(tree_ / "c/data/In.xml", c.file);
    XmlCursorPtr expected = NewCursor();
    expected->Load("c:\\data\\In.xml");
    XmlCursorPtr expected_other = *c.other ? expected->Select(c.other) : nullptr;
    expected->Save("c:\\out\\steps.xml");
    for (std::string_view path : c.left_out) expected->Select(path)->Delete();
    const std::string expected_markup = expected->TakeXML(c.freed);

    XmlCursorPtr document = NewCursor();
    document->Load("c:\\data\\In.xml");
    XmlCursorPtr other = *c.other ? document->Select(c.other) : nullptr;
    EXPECT_EQ(document->SaveThenTakeXML("c:\\out\\once.xml", c.left_out, c.freed), expected_markup);
    EXPECT_EQ(ReadFile(tree_ / "c/out/once.xml"), ReadFile(tree_ / "c/out/steps.xml"));
    EXPECT_TRUE(document->Eof());
    if (other) {
      EXPECT_EQ(other->GetValue("idVO"), "12");
      EXPECT_TRUE(other->Select("/document/Aliases")->Eof());  // gone for every cursor
    }
  }
}

// Checking markup raises what loading it raises, and keeps the cursor's document.
TEST_F(XmlCursorTest, CheckingMarkupRaisesWhatLoadingItRaises) {
  const std::string texts[] = {
      "<a><b>x</b></a>",
      "<a><b></a>",
      "<a>&nope;</a>",
      "<!DOCTYPE a [<!ENTITY e \"<b>\">]><a>&e;</a>",
      "<!DOCTYPE a [<!ENTITY e \"ok\">]><a x=\"&e;\">&e;</a>",
      "<a></a><b/>",
      "",
      "<a x='1' x='2'/>",
  };
  XmlCursorPtr stock = LoadStock();
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    EXPECT_EQ(ErrorOf([&] { stock->CheckXML(text); }), ErrorOf([&] { FromText(text); }));
    EXPECT_EQ(stock->GetName(), "document");
  }
}

// A file is read as the parser goes: a large one reads as its text does, and a fault far
// into it is reported as from the text.
TEST_F(XmlCursorTest, LargeFilesReadAsTheirText) {
  std::string big = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<document><DataVOS>\n";
  for (int i = 0; i < 20'000; ++i)
    big += "<DataVO><idVO>" + std::to_string(i) + "</idVO><Texte>ligne \xC3\xA9</Texte></DataVO>\n";
  WriteFile(tree_ / "c/data/Big.xml", big + "</DataVOS></document>\n");
  WriteFile(tree_ / "c/data/BigBroken.xml", big + "<DataVO></DataV></DataVOS></document>\n");
  ASSERT_GT(big.size(), 512u * 1024);
  XmlCursorPtr cursor = NewCursor();
  cursor->Load("c:\\data\\Big.xml");
  EXPECT_EQ(cursor->XML(), FromText(Utf8ToAnsi(big + "</DataVOS></document>\n"))->XML());
  EXPECT_EQ(ErrorOf([&] { cursor->Load("c:\\data\\BigBroken.xml"); }),
            "TXMLCursor.Load FileName: \"c:\\data\\BigBroken.xml\"\r\n"
            "Error 76 on line 20003, char 17 in \"c:\\data\\BigBroken.xml\"\r\n"
            "<DataVO></DataV></DataVOS></document>\r\n"
            "Opening and ending tag mismatch: DataVO line 20003 and DataV");
}

TEST_F(XmlCursorTest, LoadFailuresCarryTheParseError) {
  XmlCursorPtr cursor = NewCursor();
  EXPECT_THAT(ErrorOf([&] { cursor->Load("c:\\data\\Missing.xml"); }),
              StartsWith("TXMLCursor.Load FileName[c:\\data\\Missing.xml] does not exists\r\n"));
  EXPECT_EQ(ErrorOf([&] { cursor->Load("c:\\data\\BrokenUnclosedTag.xml"); }),
            "TXMLCursor.Load FileName: \"c:\\data\\BrokenUnclosedTag.xml\"\r\n"
            "Error 76 on line 4, char 35 in \"c:\\data\\BrokenUnclosedTag.xml\"\r\n"
            "    <DataVO><idVO>1</idVO></DataV>\r\n"
            "Opening and ending tag mismatch: DataVO line 4 and DataV");
  EXPECT_THAT(ErrorOf([&] { cursor->Load("c:\\data\\BrokenTruncated.xml"); }),
              HasSubstr("Error 77 on line 4, char 1"));
  EXPECT_THAT(ErrorOf([&] { cursor->Load("c:\\data\\BrokenNotUtf8.xml"); }),
              HasSubstr("Input is not proper UTF-8"));
  EXPECT_EQ(ErrorOf([&] { cursor->LoadXML("<a><b></a>"); }),
            "Error 76 on line 1, char 11 in \"\"\r\n<a><b></a>\r\n"
            "Opening and ending tag mismatch: b line 1 and a");
  // File names are matched without regard to letter case.
  cursor->Load("C:\\DATA\\stock.XML");
  EXPECT_EQ(cursor->GetName(), "document");
  try {
    cursor->LoadXML("<a>");
    FAIL();
  } catch (const RunError&) {
  }
}

TEST_F(XmlCursorTest, HostileDocumentsReadNothingAndExpandNothing) {
  XmlCursorPtr cursor = NewCursor();
  EXPECT_THAT(ErrorOf([&] { cursor->Load("c:\\data\\BillionLaughs.xml"); }),
              HasSubstr("Detected an entity reference loop"));

  const fs::path secret = tree_ / "secret.txt";
  WriteFile(secret, "SECRET");
  WriteFile(tree_ / "external.dtd", "<!ENTITY y \"FROMDTD\">");
  const std::string url = "file://" + tree_.path().string();
  const std::vector<std::string> documents = {
      "<!DOCTYPE a [<!ENTITY x SYSTEM \"" + url + "/secret.txt\">]><a>&x;</a>",
      "<!DOCTYPE a SYSTEM \"" + url + "/external.dtd\"><a>&y;</a>",
      "<!DOCTYPE a [<!ENTITY % p SYSTEM \"" + url + "/external.dtd\"> %p;]><a>&y;</a>",
      "<!DOCTYPE a SYSTEM \"http://127.0.0.1:9/none.dtd\"><a>&y;</a>",
  };
  for (const std::string& text : documents) {
    XmlCursorPtr doc = NewCursor();
    try {
      doc->LoadXML(text);
    } catch (const XmlCursorError&) {
      continue;  // refusing the document is as good
    }
    EXPECT_EQ(doc->GetValue("."), "") << text;
    EXPECT_THAT(doc->XML(), ::testing::Not(HasSubstr("SECRET"))) << text;
    EXPECT_THAT(doc->XML(), ::testing::Not(HasSubstr("FROMDTD"))) << text;
  }
}

}  // namespace
}  // namespace listelo
