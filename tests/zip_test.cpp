#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zip.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "app/window_port.h"
#include "delivery/zip.h"
#include "platform/paths.h"
#include "support/temp_tree.h"

namespace listelo {
namespace {
namespace fs = std::filesystem;
using testing::ReadFile;
using testing::RunFixture;
using testing::TempTree;
using testing::WriteFile;

const std::string kEmptyArchive = std::string("PK\x05\x06", 4) + std::string(18, '\0');
constexpr const char* kExportFolder = "c:\\windows\\TEMP\\Listelo";

// One entry of an archive, as libzip's reading side sees it.
struct Entry {
  std::string name;
  std::uint16_t method = 0;
  std::uint16_t flags = 0;  // general-purpose bit flags of the central directory
  std::string data;
};

struct ZipClose {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct ZipFileClose {
  void operator()(zip_file_t* file) const { zip_fclose(file); }
};

// The general-purpose flags of every central directory header, in order.
std::vector<std::uint16_t> CentralDirectoryFlags(const std::string& bytes) {
  std::vector<std::uint16_t> flags;
  for (size_t at = bytes.find("PK\x01\x02", 0, 4); at != std::string::npos;
       at = bytes.find("PK\x01\x02", at + 4, 4)) {
    flags.push_back(static_cast<unsigned char>(bytes[at + 8]) |
                    (static_cast<unsigned char>(bytes[at + 9]) << 8));
  }
  return flags;
}

std::vector<Entry> ReadArchive(const fs::path& file) {
  int code = 0;
  std::unique_ptr<zip_t, ZipClose> archive(
      zip_open(file.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code));
  if (!archive) ADD_FAILURE() << "libzip cannot read " << file << ": error " << code;
  if (!archive) return {};
  const std::vector<std::uint16_t> flags = CentralDirectoryFlags(ReadFile(file));
  std::vector<Entry> entries;
  for (zip_int64_t i = 0; i < zip_get_num_entries(archive.get(), 0); ++i) {
    zip_stat_t stat;
    zip_stat_index(archive.get(), i, 0, &stat);
    Entry entry{stat.name, stat.comp_method, 0, std::string(stat.size, '\0')};
    if (i < static_cast<zip_int64_t>(flags.size())) entry.flags = flags[i];
    std::unique_ptr<zip_file_t, ZipFileClose> data(zip_fopen_index(archive.get(), i, 0));
    EXPECT_EQ(zip_fread(data.get(), entry.data.data(), stat.size),
              static_cast<zip_int64_t>(stat.size));
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::vector<std::string> Names(const std::vector<Entry>& entries) {
  std::vector<std::string> names;
  for (const Entry& entry : entries) names.push_back(entry.name);
  return names;
}

// `unzip -t`: an independent reader that checks every entry's CRC.
bool UnzipAccepts(const fs::path& archive) {
  const std::string command = "unzip -tqq '" + archive.string() + "' >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

std::set<std::string> FolderListing(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename());
  return names;
}

std::string RandomBytes(size_t size, unsigned seed) {
  std::mt19937 generator(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(generator());
  return bytes;
}

std::string StockText(size_t lines) {
  std::string text;
  for (size_t i = 0; i < lines; ++i) {
    text += "VO-" + std::to_string(1000 + i) + ";Renault;Clio;Diesel;" + std::to_string(i * 37) +
            " km;9 990 €\r\n";
  }
  return text;
}

// Records what the packing reported, and can ask it to stop after some bytes.
class RecordingSink : public ProgressSink {
 public:
  void BeginBatch(std::uint64_t total_bytes) override {
    events.push_back("batch " + std::to_string(total_bytes));
    if (on_batch) on_batch();
  }
  void BeginFile(const std::string& name, std::uint64_t size) override {
    events.push_back("file " + name + " " + std::to_string(size));
    if (on_file) on_file(name);
  }
  void Progress(std::uint64_t bytes_done) override { progress.push_back(bytes_done); }
  void EndBatch() override { events.push_back("end"); }
  bool Cancelled() const override {
    return cancel_after && (progress.empty() ? 0 : progress.back()) >= *cancel_after;
  }

  std::vector<std::string> events;
  std::vector<std::uint64_t> progress;
  std::optional<std::uint64_t> cancel_after;
  std::function<void(const std::string&)> on_file;
  std::function<void()> on_batch;
};

// A run with an export folder, and a TZip that reports to a recording sink.
class ZipTest : public ::testing::Test {
 protected:
  ZipTest() : zip_(fixture_.run().paths(), sink_) { fs::create_directories(Host(kExportFolder)); }

  fs::path Host(const std::string& windows_path) { return fixture_.HostPath(windows_path); }
  static std::string InExport(const std::string& name) {
    return std::string(kExportFolder) + "\\" + name;
  }
  void Put(const std::string& windows_path, const std::string& bytes) {
    WriteFile(Host(windows_path), bytes);
  }

  RunFixture fixture_;
  RecordingSink sink_;
  TZip zip_;
};

TEST_F(ZipTest, OpeningWritesTheEmptyArchiveThatReadersAccept) {
  const std::string archive = InExport("Export.zip");
  zip_.OpenArchive(archive);
  EXPECT_EQ(ReadFile(Host(archive)), kEmptyArchive);
  EXPECT_TRUE(ReadArchive(Host(archive)).empty());
  EXPECT_TRUE(zip_.EntryNames().empty());
  EXPECT_EQ(zip_.ArchivePath(), archive);
}

TEST_F(ZipTest, OpeningAnUnusablePathRaisesTheComponentsMessage) {
  const std::string data = LISTELO_TEST_DATA "/zip/";
  struct Case {
    const char* name;
    std::string path;
    std::string fixture;  // copied to the path first, when set
    std::string message;  // %P stands for the path
  };
  const std::vector<Case> cases = {
      {"no such drive", "q:\\Export.zip", "", "Unable to access the selected drive!"},
      {"no such folder", InExport("absent\\Export.zip"), "", "Unable to create \r\n\"%P\""},
      {"a folder at the path", InExport("photos"), "", "Unable to create \r\n\"%P\""},
      {"a text file", InExport("Texte.zip"), data + "NotAZipFile.zip",
       "\"%P\"\r\nis not a valid Zip file."},
      {"an empty file", InExport("Vide.zip"), "", "\"%P\"\r\nis not a valid Zip file."},
      {"a broken directory", InExport("Casse.zip"), data + "BrokenCentralDirectory.zip",
       "Error reading CentralFileHeader."},
      {"one disk of a set", InExport("Disque2.zip"), data + "SecondDiskOfASet.zip",
       "Cannot Add, Delete or Extract from a multiple disk Zip file...\r\n"
       "Merge this Zip file onto the hard disk before retrying."},
  };
  fs::create_directories(Host(InExport("photos")));
  WriteFile(Host(InExport("Vide.zip")), "");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!c.fixture.empty()) fs::copy_file(c.fixture, Host(c.path));
    const std::string before = fs::is_regular_file(Host(c.path)) ? ReadFile(Host(c.path)) : "";
    std::string expected = c.message;
    if (auto at = expected.find("%P"); at != std::string::npos) expected.replace(at, 2, c.path);
    try {
      zip_.OpenArchive(c.path);
      ADD_FAILURE() << "no exception";
    } catch (const ZipException& e) {
      EXPECT_EQ(std::string(e.what()), expected);
    }
    if (fs::is_regular_file(Host(c.path))) {
      EXPECT_EQ(ReadFile(Host(c.path)), before);
    }
  }
}

TEST_F(ZipTest, PacksTheFolderOwnRegularFilesUnderBareNames) {
  const std::string folder = std::string(kExportFolder) + "\\AS24";
  const std::string csv = StockText(2000);
  const std::string photo = RandomBytes(200 * 1024, 1);
  Put(folder + "\\Annonces.csv", csv);
  Put(folder + "\\1234-1.jpg", photo);
  Put(folder + "\\LISEZMOI", "sans extension\r\n");
  Put(folder + "\\.verrou", "caché");
  Put(folder + "\\photos\\1234-2.jpg", "dans un sous-dossier");
  ASSERT_EQ(mkfifo(Host(folder + "\\tube").c_str(), 0600), 0);
  const std::string archive = InExport("AS24.zip");

  zip_.OpenArchive(archive);
  zip_.FileSpecs().push_back(folder + "\\*.*");
  EXPECT_EQ(zip_.AddFiles(), 3);

  EXPECT_TRUE(zip_.FileSpecs().empty());
  const std::vector<Entry> entries = ReadArchive(Host(archive));
  const std::vector<std::string> names = {"1234-1.jpg", "Annonces.csv", "LISEZMOI"};
  EXPECT_EQ(Names(entries), names);
  EXPECT_EQ(zip_.EntryNames(), names);
  for (const Entry& entry : entries) {
    EXPECT_EQ(entry.method, ZIP_CM_DEFLATE) << entry.name;
    EXPECT_EQ(entry.flags & 0x6, 0x2) << entry.name << ": not marked as maximum compression";
  }
  EXPECT_EQ(entries[0].data, photo);
  EXPECT_EQ(entries[1].data, csv);
  EXPECT_TRUE(UnzipAccepts(Host(archive)));
}

TEST_F(ZipTest, APatternMatchingNothingLeavesTheEmptyArchive) {
  const std::string archive = InExport("Vide.zip");
  fs::create_directories(Host(InExport("AS24")));
  zip_.OpenArchive(archive);
  zip_.FileSpecs().push_back(InExport("AS24\\*.*"));
  EXPECT_EQ(zip_.AddFiles(), 0);
  EXPECT_EQ(ReadFile(Host(archive)), kEmptyArchive);
  EXPECT_TRUE(sink_.events.empty());
}

TEST_F(ZipTest, FullPathsAddTheirFileOnceWhateverTheLetterCase) {
  Put(InExport("Véhicules.csv"), StockText(10));
  Put(InExport("autre\\VÉHICULES.CSV"), "un homonyme dans un autre dossier");
  const std::string archive = InExport("Export.zip");
  zip_.OpenArchive(archive);
  zip_.FileSpecs() = {InExport("VÉHICULES.csv"), InExport("absent.csv"), InExport("autre\\*.csv")};
  EXPECT_EQ(zip_.AddFiles(), 1);
  const std::vector<Entry> entries = ReadArchive(Host(archive));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, reinterpret_cast<const char*>(u8"Véhicules.csv"));
  EXPECT_EQ(entries[0].data, StockText(10));
  EXPECT_EQ(zip_.EntryNames(), std::vector<std::string>{"Véhicules.csv"});
  EXPECT_TRUE(UnzipAccepts(Host(archive)));
}

TEST_F(ZipTest, AnUpdateReplacesAnEntryOnlyWithANewerFile) {
  const std::string file = InExport("Annonces.csv");
  const std::string archive = InExport("Export.zip");
  // One instant for both versions, so that the test does not depend on how much time
  // passes between the two writes (entries keep times only to the even second).
  const fs::file_time_type an_hour_ago = fs::file_time_type::clock::now() - std::chrono::hours(1);
  Put(file, "première version");
  fs::last_write_time(Host(file), an_hour_ago);
  zip_.OpenArchive(archive);
  zip_.FileSpecs().push_back(file);
  ASSERT_EQ(zip_.AddFiles(), 1);
  const std::string first = ReadFile(Host(archive));

  Put(file, "deuxième version, pas plus récente");
  fs::last_write_time(Host(file), an_hour_ago);
  zip_.OpenArchive(archive);
  zip_.FileSpecs().push_back(file);
  EXPECT_EQ(zip_.AddFiles(), 0);
  EXPECT_EQ(ReadFile(Host(archive)), first);

  Put(file, "troisième version, plus récente");
  Put(InExport("Photos.txt"), "une nouvelle entrée");
  zip_.OpenArchive(archive);
  zip_.FileSpecs() = {file, InExport("Photos.txt")};
  EXPECT_EQ(zip_.AddFiles(), 2);
  const std::vector<Entry> entries = ReadArchive(Host(archive));
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "Annonces.csv");
  EXPECT_EQ(entries[0].data, "troisième version, plus récente");
  EXPECT_TRUE(UnzipAccepts(Host(archive)));
}

TEST_F(ZipTest, ProgressFollowsTheBatchFileByFile) {
  const std::string big = RandomBytes(1024 * 1024 + 5, 2);
  Put(InExport("AS24\\a.jpg"), big);
  Put(InExport("AS24\\b.csv"), "court");
  zip_.OpenArchive(InExport("AS24.zip"));
  zip_.FileSpecs().push_back(InExport("AS24\\*.*"));
  ASSERT_EQ(zip_.AddFiles(), 2);

  const std::uint64_t total = big.size() + 5;
  const std::vector<std::string> events = {"batch " + std::to_string(total),
                                           "file a.jpg " + std::to_string(big.size()),
                                           "file b.csv 5", "end"};
  EXPECT_EQ(sink_.events, events);
  ASSERT_FALSE(sink_.progress.empty());
  EXPECT_TRUE(std::is_sorted(sink_.progress.begin(), sink_.progress.end()));
  EXPECT_GT(sink_.progress.size(), 2u);  // the big file reports more than once
  EXPECT_EQ(sink_.progress.back(), total);
}

TEST_F(ZipTest, ARunsZipLetsTheWindowEventsRunWhilePacking) {
  Put(InExport("Annonces.csv"), StockText(100));
  TZip zip(fixture_.run());
  zip.OpenArchive(InExport("Export.zip"));
  zip.FileSpecs().push_back(InExport("Annonces.csv"));
  const long before = fixture_.window().process_events_calls();
  EXPECT_EQ(zip.AddFiles(), 1);
  EXPECT_GT(fixture_.window().process_events_calls(), before);
}

TEST_F(ZipTest, CancelLeavesTheArchiveByteForByteAndNoTemporaryFile) {
  Put(InExport("AS24\\1.jpg"), RandomBytes(600 * 1024, 3));
  Put(InExport("AS24\\2.jpg"), RandomBytes(600 * 1024, 4));
  Put(InExport("Ancien.csv"), StockText(50));
  struct Case {
    const char* name;
    bool archive_has_an_entry;
    std::uint64_t cancel_after;
  };
  const Case cases[] = {
      {"empty archive, cancelled mid-way", false, 700 * 1024},
      {"empty archive, cancelled at once", false, 0},
      {"archive with an entry, cancelled mid-way", true, 300 * 1024},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sink_ = RecordingSink();
    const std::string archive = InExport("AS24.zip");
    fs::remove(Host(archive));
    zip_.OpenArchive(archive);
    if (c.archive_has_an_entry) {
      zip_.FileSpecs().push_back(InExport("Ancien.csv"));
      ASSERT_EQ(zip_.AddFiles(), 1);
    }
    const std::string before = ReadFile(Host(archive));
    const std::set<std::string> listing = FolderListing(Host(kExportFolder));

    sink_.cancel_after = c.cancel_after;
    zip_.FileSpecs().push_back(InExport("AS24\\*.*"));
    EXPECT_EQ(zip_.AddFiles(), 0);

    EXPECT_EQ(ReadFile(Host(archive)), before);
    EXPECT_EQ(FolderListing(Host(kExportFolder)), listing);
    EXPECT_EQ(sink_.events.back(), "end");
    if (c.cancel_after > 0) {
      EXPECT_LT(sink_.progress.back(), 1200u * 1024);
    }
  }
}

TEST_F(ZipTest, AFileVanishingWhilePackingRaisesAndKeepsTheArchive) {
  Put(InExport("AS24\\1.jpg"), RandomBytes(10 * 1024, 5));
  Put(InExport("AS24\\2.jpg"), RandomBytes(10 * 1024, 6));
  const std::string archive = InExport("AS24.zip");
  zip_.OpenArchive(archive);
  // Gone once the files were measured and before any is read (the small ones are read
  // ahead of their turn).
  sink_.on_batch = [&] { fs::remove(Host(InExport("AS24\\2.jpg"))); };
  const std::set<std::string> listing = FolderListing(Host(kExportFolder));
  zip_.FileSpecs().push_back(InExport("AS24\\*.*"));
  try {
    zip_.AddFiles();
    ADD_FAILURE() << "no exception";
  } catch (const ZipException& e) {
    const std::string message = e.what();
    EXPECT_EQ(message.rfind("\"" + archive + "\"\r\n", 0), 0u) << message;
    EXPECT_NE(message.find("No such file or directory"), std::string::npos) << message;
    EXPECT_NE(message.find("2.jpg"), std::string::npos) << message;
  }
  EXPECT_EQ(ReadFile(Host(archive)), kEmptyArchive);
  EXPECT_EQ(FolderListing(Host(kExportFolder)), listing);
  EXPECT_EQ(sink_.events.back(), "end");
}

TEST_F(ZipTest, AddingNeedsAnOpenArchive) {
  zip_.FileSpecs().push_back(InExport("*.*"));
  try {
    zip_.AddFiles();
    ADD_FAILURE() << "no exception";
  } catch (const ZipException& e) {
    EXPECT_STREQ(e.what(),
                 "A Zip file must be openned or created before\r\n"
                 "Adding, Deleting or Extracting files.");
  }
}

}  // namespace
}  // namespace listelo
