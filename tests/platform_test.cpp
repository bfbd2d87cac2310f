#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>

#include "platform/file_facts.h"
#include "platform/paths.h"
#include "platform/regional.h"
#include "platform/text.h"
#include "support/temp_tree.h"

namespace listelo {
namespace {
namespace fs = std::filesystem;
using testing::TempTree;
using testing::WriteFile;

TEST(TextTest, ConvertsBetweenWindows1252AndUtf8) {
  // Literals are Windows-1252 at run time: "é" is one byte, "’" is 0x92, "€" is 0x80.
  const std::string ansi = "Voiture d’occasion à 9 990 € - Škoda";
  EXPECT_EQ(std::string("\x92"), std::string("’"));
  EXPECT_EQ(AnsiToUtf8(ansi),
            reinterpret_cast<const char*>(u8"Voiture d’occasion à 9 990 € - Škoda"));
  EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(ansi)), ansi);
  // Plain ASCII is passed over eight bytes at a time: an accented letter at any place of
  // a run, at its ends included, is still converted, and the run around it kept.
  for (size_t at = 0; at < 20; ++at) {
    std::string text(19, 'a');
    text.insert(at, "é");
    EXPECT_EQ(AnsiToUtf8(text), std::string(at, 'a') + "\xC3\xA9" + std::string(19 - at, 'a'))
        << at;
    EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(text)), text) << at;
  }
}

TEST(TextTest, UnknownCharactersAndBrokenUtf8BecomeQuestionMarks) {
  struct Case {
    const char* utf8;
    const char* ansi;
  };
  const Case cases[] = {
      {"\xE2\x88\x9E", "?"},  // infinity sign: not in Windows-1252
      {"a\xF0\x9F\x9A\x97"
       "b",
       "a?b"},             // a car emoji
      {"\xC3", "?"},       // sequence cut short
      {"\xFF\xFE", "??"},  // bytes that never start a sequence
      {"x\xC3\xA9y", "xéy"},
      {"a\xF3\xA0\x80\x81"
       "b",
       "a?b"},  // an invisible tag character is no exception
      {"\xED\xA0\x80-\xE0\x80\xAF-\xF4\x90\x80\x80",
       "?-?-?"},                      // surrogate, over-long, beyond U+10FFFF
      {"\xE2\x82(", "?"},             // a broken sequence takes the length its first byte announces
      {"\xC2\x81\xC2\x80", "\x81?"},  // C1 controls: only those of undefined bytes come back
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8ToAnsi(c.utf8), c.ansi) << c.utf8;
    std::string in_place = c.utf8;
    Utf8ToAnsiInPlace(in_place);
    EXPECT_EQ(in_place, c.ansi) << c.utf8;
  }
  // Every byte survives the way to UTF-8 and back, the undefined ones included.
  std::string all;
  for (int i = 1; i < 256; ++i) all.push_back(static_cast<char>(i));
  EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(all)), all);
}

TEST(TextTest, CaseRulesOfTheWesternLocale) {
  EXPECT_EQ(AnsiUpperCase("paruvendu"), "PARUVENDU");
  EXPECT_EQ(AnsiUpperCase("éèàçœÿšž"), "ÉÈÀÇŒŸŠŽ");
  EXPECT_EQ(AnsiUpperCase("ß µ ÷"), "ß µ ÷");
  EXPECT_EQ(AnsiLowerCase("ÉÈÀÇŒŸ"), "éèàçœÿ");
  EXPECT_TRUE(AnsiSameText("Peugeot Épure", "PEUGEOT ÉPURE"));
  EXPECT_FALSE(AnsiSameText("e", "é"));
}

TEST(TextTest, ReplaceAllIgnoringCase) {
  struct Case {
    const char* text;
    const char* from;
    const char* to;
    const char* expected;
  };
  const Case cases[] = {
      {"</NomPhoto1><NOMPHOTO1>", "</NomPhoto1>", "</Photo>", "</Photo><NOMPHOTO1>"},
      {"Peugeot 307 peugeot PEUGEOT ", "peugeot ", "", "307 "},
      {"Citroén C3", "CITROÉN ", "", "C3"},
      {"aaa", "aa", "b", "ba"},    // left to right, no overlap
      {"xAx", "a", "aa", "xaax"},  // the replacement is not searched again
      {";CLIM;;clim;", ";clim;", ";Climatisation;", ";Climatisation;;Climatisation;"},
      {"abc", "", "x", "abc"},
      {"Été ÉTÉ été", "été", "x", "x x x"},  // an accented letter first
      {"ab", "abc", "x", "ab"},              // pattern longer than the text
      {"<a><A>", "<a>", "[]", "[][]"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AnsiReplaceAllIgnoreCase(c.text, c.from, c.to), c.expected) << c.text;
  }
}

// One scan for several tag renamings gives the text of one pass per renaming in order:
// the tag-like patterns of the photo slots and their neighbours, in awkward arrangements.
TEST(TextTest, ReplaceEachInOneScanAsPassesInOrder) {
  const std::vector<TextReplacement> renamings = {
      {"<Nom1></Nom1>", "<Nom1/>"}, {"</Nom1>", "</Photo>"},  {"<Nom1>", "<Photo Num=\"1\">"},
      {"<Nom10>", "<P10>"},         {"</idNVO>", "</id-VO>"}, {"<idNVO>", "<id-VO>"},
      {"x<ignored>", "!"},  // does not start with "<": left out
  };
  const char* texts[] = {
      "",
      "plain text, no tag",
      "<Nom1></Nom1><Nom1>a</Nom1><nom1></NOM1>",
      "<Nom1><Nom1></Nom1></Nom1></Nom1>",
      "<Nom10><Nom1>>x</Nom10 ></Nom1",
      "<<idnvo>><</IDNVO><idNVO/></idNVO>",
      "<Nom1></Nom1></Nom1><Nom1></Nom1>",
      "tail <Nom",
      "x<ignored>",
  };
  for (const char* text : texts) {
    std::string passes = text;
    for (const TextReplacement& r : renamings) {
      if (r.from[0] == '<') passes = AnsiReplaceAllIgnoreCase(passes, r.from, r.to);
    }
    std::string scan = "stale";
    AnsiReplaceEachIgnoreCase(text, renamings, scan);
    EXPECT_EQ(scan, passes) << text;
  }
}

TEST(TextTest, ExactReplaceAll) {
  struct Case {
    const char* text;
    const char* from;
    const char* to;
    const char* expected;
  };
  const Case cases[] = {
      {"aaa", "aa", "b", "ba"},    // left to right, no overlap
      {"xax", "a", "aa", "xaax"},  // the replacement is not searched again
      {"a;b;c", ";", ".", "a.b.c"},
      {"Gar GAR gar", "Gar", "G", "G GAR gar"},  // letter case significant
      {"abc", "", "x", "abc"},                   // the empty text is never found
      {"", "a", "b", ""},
      {"ab", "abc", "x", "ab"},
      {"x;;;y", ";;", ";", "x;;y"},  // one pass: ";;;" keeps two
  };
  for (const Case& c : cases) EXPECT_EQ(ReplaceAll(c.text, c.from, c.to), c.expected) << c.text;
}

TEST(TextTest, ReplaceFirstIgnoringCase) {
  struct Case {
    const char* text;
    const char* from;
    const char* to;
    const char* expected;
  };
  const Case cases[] = {
      {"1.6 HDi Partner Tepee Partner", "partner", "", "1.6 HDi  Tepee Partner"},
      {"Élan élan", "éLAN", "X", "X élan"},
      {"abab", "ba", "-", "a-b"},
      {"abc", "", "x", "abc"},
      {"abc", "abcd", "x", "abc"},
      {"", "a", "x", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AnsiReplaceFirstIgnoreCase(c.text, c.from, c.to), c.expected) << c.text;
  }
}

TEST(TextTest, ContainsNeverFindsTheEmptyText) {
  struct Case {
    const char* text;
    const char* needle;
    bool exact;
    bool ignoring_case;
  };
  const Case cases[] = {
      {"1.6 HDi Partner", "Partner", true, true},
      {"1.6 HDi Partner", "partner", false, true},
      {"PARIS;LYON", "lyon", false, true},
      {"Sièges", "SIÈGES", false, true},
      {"abc", "", false, false},
      {"", "", false, false},
      {"", "a", false, false},
      {"ab", "abc", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Contains(c.text, c.needle), c.exact) << c.text << " | " << c.needle;
    EXPECT_EQ(AnsiContainsIgnoreCase(c.text, c.needle), c.ignoring_case)
        << c.text << " | " << c.needle;
  }
}

TEST(UserTempFolderTest, TempElseTheWindowsTempFolder) {
  MapEnvironment env;
  env.Set("Windir", "c:\\windows");
  EXPECT_EQ(UserTempFolder(env), "c:\\windows\\TEMP");
  env.Set("TEMP", "");
  EXPECT_EQ(UserTempFolder(env), "c:\\windows\\TEMP");
  env.Set("TEMP", "c:\\Users\\dealer\\AppData\\Local\\Temp");
  EXPECT_EQ(UserTempFolder(env), "c:\\Users\\dealer\\AppData\\Local\\Temp");
}

TEST(RegionalTest, FormatsThePatternsOfTheProgram) {
  DateTime dt{2026, 3, 7, 9, 5, 4, 12, 6};
  RegionalSettings s;
  s.long_time_format = "hh:nn:ss";
  struct Case {
    const char* pattern;
    const char* expected;
  };
  const Case cases[] = {
      {"yyyymmddhhnn", "202603070905"},
      {"yyyymmddhhnnss", "20260307090504"},
      {"yyyymmdd", "20260307"},
      {"ddddd tt", "07/03/2026 09:05:04"},
      {"hh:mm:ss", "09:05:04"},  // minutes after an hour
      {"d/m/yy", "7/3/26"},
      {"dddd d mmmm", "samedi 7 mars"},
      {"\"mm\"yyyy", "mm2026"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatDateTime(c.pattern, dt, s), c.expected) << c.pattern;
}

TEST(RegionalTest, StrftimeFormatsBecomePatterns) {
  EXPECT_EQ(PatternFromStrftime("%H:%M:%S"), "hh:nn:ss");
  EXPECT_EQ(PatternFromStrftime("%T"), "hh:nn:ss");
  EXPECT_EQ(PatternFromStrftime("%d/%m/%Y"), "dd/mm/yyyy");
  EXPECT_EQ(PatternFromStrftime("%I:%M:%S %p"), "hh:nn:ss am/pm");
}

class PathMapperTest : public ::testing::Test {
 protected:
  TempTree tree_;
  PathMapper mapper_{tree_.path()};
};

TEST_F(PathMapperTest, MapsWindowsFormsOntoTheRoot) {
  const fs::path root = tree_.path();
  EXPECT_EQ(mapper_.ToHost("c:\\projects\\Quarno\\data"), root / "c/projects/Quarno/data");
  EXPECT_EQ(mapper_.ToHost("D:\\x\\y.xml"), root / "d/x/y.xml");
  EXPECT_EQ(mapper_.ToHost("\\TEMP\\RadoveDuvude.log"), root / "c/TEMP/RadoveDuvude.log");
  EXPECT_EQ(mapper_.ToHost("/var/lib/x\\TEMP\\Listelo"), fs::path("/var/lib/x/TEMP/Listelo"));
  EXPECT_EQ(mapper_.ToHost("c:\\a\\.\\b\\..\\c"), root / "c/a/c");
  EXPECT_EQ(mapper_.ToHost("c:\\..\\..\\etc\\x"), root / "c/etc/x");  // never above the drive
}

TEST_F(PathMapperTest, MatchesExistingNamesWithoutRegardToCase) {
  fs::create_directories(tree_.path() / "c/windows/Temp/Listelo");
  EXPECT_EQ(mapper_.ToHost("c:\\WINDOWS\\TEMP\\listelo\\f.xml"),
            tree_.path() / "c/windows/Temp/Listelo/f.xml");
  // A component that does not exist is used as written, and so is everything below it.
  EXPECT_EQ(mapper_.ToHost("c:\\windows\\TEMP\\AS24\\Photos"),
            tree_.path() / "c/windows/Temp/AS24/Photos");
  // Accented names match too, whatever their case.
  fs::create_directories(tree_.path() / fs::path(u8"c/Données"));
  EXPECT_EQ(mapper_.ToHost("c:\\DONNÉES\\x"), tree_.path() / fs::path(u8"c/Données/x"));
}

// A photo folder that has not changed for a while is read once and then answers for
// its names with one look at its time; whatever comes or goes in it must still show.
TEST_F(PathMapperTest, AStillFolderAnswersForItsNamesAndShowsEveryChange) {
  const fs::path images = tree_.path() / "c/images";
  fs::create_directories(images / "2026");
  WriteFile(images / "Photo.JPG", "x");
  const auto an_hour_ago = fs::file_time_type::clock::now() - std::chrono::hours(1);
  fs::last_write_time(images, an_hour_ago);
  auto type = [&](const std::string& windows_path) {
    return mapper_.Locate(windows_path).status.type();
  };
  // The first miss reads the folder; the next look-ups are answered from that reading.
  EXPECT_EQ(type("c:\\images\\absent.jpg"), fs::file_type::not_found);
  EXPECT_EQ(mapper_.Locate("c:\\images\\PHOTO.jpg").path, images / "Photo.JPG");
  EXPECT_EQ(type("c:\\images\\photo.jpg"), fs::file_type::regular);
  EXPECT_EQ(type("c:\\images\\2026"), fs::file_type::directory);
  EXPECT_EQ(mapper_.Locate("c:\\images\\1999\\a.jpg").path, images / "1999/a.jpg");
  EXPECT_EQ(type("c:\\images\\1999\\a.jpg"), fs::file_type::not_found);

  struct Change {
    const char* what;
    std::function<void()> make;
    std::string windows_path;
    fs::file_type type;
  };
  const Change changes[] = {
      {"a photo arrives", [&] { WriteFile(images / "absent.jpg", "x"); }, "c:\\images\\absent.jpg",
       fs::file_type::regular},
      {"a photo goes", [&] { fs::remove(images / "Photo.JPG"); }, "c:\\images\\photo.jpg",
       fs::file_type::not_found},
      {"a year folder arrives", [&] { WriteFile(images / "1999/a.jpg", "x"); },
       "c:\\images\\1999\\A.JPG", fs::file_type::regular},
  };
  for (const Change& change : changes) {
    SCOPED_TRACE(change.what);
    change.make();
    EXPECT_EQ(type(change.windows_path), change.type);
    // Still again, and read again on the next miss.
    fs::last_write_time(images, an_hour_ago);
    EXPECT_EQ(type("c:\\images\\still-absent.jpg"), fs::file_type::not_found);
  }
}

TEST_F(PathMapperTest, TwoSpellingsOfOneNameAreToldApartByTheFileSystem) {
  const fs::path images = tree_.path() / "c/images";
  WriteFile(images / "a.jpg", "small");
  WriteFile(images / "A.jpg", "capital");
  fs::last_write_time(images, fs::file_time_type::clock::now() - std::chrono::hours(1));
  EXPECT_EQ(mapper_.Locate("c:\\images\\none.jpg").status.type(), fs::file_type::not_found);
  EXPECT_EQ(mapper_.Locate("c:\\images\\a.jpg").path, images / "a.jpg");
  EXPECT_EQ(mapper_.Locate("c:\\images\\A.jpg").path, images / "A.jpg");
}

// One call to the file system answers as the library's three calls would.
TEST(FileFactsTest, AgreeWithTheLibrary) {
  TempTree tree;
  WriteFile(tree / "photo.jpg", "12345");
  fs::last_write_time(tree / "photo.jpg", fs::file_time_type::clock::now() -
                                              std::chrono::hours(50) +
                                              std::chrono::nanoseconds(123456789));
  fs::create_directory(tree / "folder");
#ifndef _WIN32
  fs::create_symlink(tree / "photo.jpg", tree / "link.jpg");
#endif
  for (const char* name : {"photo.jpg", "folder", "link.jpg"}) {
    SCOPED_TRACE(name);
    const fs::path path = tree / name;
    if (!fs::exists(fs::symlink_status(path))) continue;
    const FileFacts followed = ReadFileFacts(path, LinkRule::kFollow);
    EXPECT_EQ(followed.type, fs::status(path).type());
    EXPECT_EQ(ReadFileFacts(path, LinkRule::kLink).type, fs::symlink_status(path).type());
    if (fs::is_regular_file(path)) {
      EXPECT_EQ(followed.size, fs::file_size(path));
      EXPECT_EQ(followed.time, fs::last_write_time(path));
    }
  }
  EXPECT_EQ(ReadFileFacts(tree / "missing.jpg", LinkRule::kFollow).type, fs::file_type::not_found);
  // A path that goes through a file leads nowhere, as a missing one does.
  EXPECT_EQ(ReadFileFacts(tree / "photo.jpg/x", LinkRule::kLink).type, fs::file_type::not_found);
}

TEST(PathMapperRootTest, RootComesFromTheEnvironment) {
  MapEnvironment env;
  env.Set("HOME", "/home/dealer");
  EXPECT_EQ(PathMapper::FromEnvironment(env).root(), fs::path("/home/dealer/.local/share/listelo"));
  env.Set("XDG_DATA_HOME", "/data");
  EXPECT_EQ(PathMapper::FromEnvironment(env).root(), fs::path("/data/listelo"));
  env.Set("LISTELO_ROOT", "/srv/listelo");
  EXPECT_EQ(PathMapper::FromEnvironment(env).root(), fs::path("/srv/listelo"));
}

TEST(WindowsPathPartsTest, SplitsFolderAndName) {
  EXPECT_EQ(WindowsFolderPart("c:\\a\\b.txt"), "c:\\a");
  EXPECT_EQ(WindowsFileName("c:\\a\\b.txt"), "b.txt");
  EXPECT_EQ(WindowsFolderPart("b.txt"), "");
  EXPECT_EQ(WindowsFileName("b.txt"), "b.txt");
}

}  // namespace
}  // namespace listelo
