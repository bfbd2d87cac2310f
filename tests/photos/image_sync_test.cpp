#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "app/run.h"
#include "delivery/ftp_client.h"
#include "photos/image_sync.h"
#include "photos/image_sync_fixture.h"
#include "support/ftp_server.h"
#include "support/temp_tree.h"

namespace listelo {
namespace {

namespace fs = std::filesystem;
using testing::Count;
using ::testing::ElementsAre;
using testing::FtpServer;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing::ReadFile;
using testing::RunFixture;
using testing::WriteFile;

// A run with its photo folder at c:\images and the image server fields naming an
// account of the test server whose image folder is www/voimages.
class ImageSyncTest : public testing::ImageSyncFixture {
 protected:
  ImageSyncTest() {
    images_ = account_.home / "www" / "voimages";
    f_.run().state.export_target = "PARUVENDU";
    f_.run().state.path_images = "c:\\images";
    f_.run().state.test_ftp_vo_images = true;
    testing::UseFastFtpTimeouts(f_.run());
    testing::UseImageServer(f_.run(), server_, account_);
    fs::create_directories(images_);
    f_.run().WriteLog("");
  }

  std::vector<std::string> Commands() const { return server_.Commands(account_.user); }

  FtpServer& server_ = FtpServer::Shared();
  FtpServer::Account account_ = server_.NewAccount();
};

TEST_F(ImageSyncTest, DecisionTableForPhotoAndThumbnail) {
  SyncDecisionTable();
  EXPECT_EQ(f_.run().state.updated_photo_count, 2);
  EXPECT_EQ(f_.window().Label(1), "Image 0 : c:\\images\\gonem.jpg");
  EXPECT_EQ(f_.window().Label(2), "Update 2 : c:\\images\\newm.jpg - on transfert");
  // One connection for the run and one MDTM per file.
  std::vector<std::string> commands = Commands();
  EXPECT_EQ(Count(commands, "USER"), 1);
  EXPECT_EQ(Count(commands, "CWD"), 1);
  EXPECT_EQ(Count(commands, "MDTM"), 8);
  EXPECT_EQ(Count(commands, "STOR"), 2);
}

TEST_F(ImageSyncTest, TheConnectionIsOpenedForTheFirstQuestion) {
  Local("a.jpg");
  OnServer("a.jpg");
  f_.run().state.photo_count = 5;
  SyncImage(f_.run(), "a.jpg");
  EXPECT_THAT(f_.window().MemoLines(),
              ElementsAre("-> ", "Connecting to " + server_.HostPort(), "Connected",
                          std::string("-> ") + kStamp + "Pb Existence : am.jpg"));
  EXPECT_THAT(Commands(), ElementsAre("USER " + account_.user, "PASS " + account_.password, "PWD",
                                      "CWD www/voimages", "MDTM a.jpg", "MDTM am.jpg"));
}

TEST_F(ImageSyncTest, ConnectionLabelNamesThePhoto) {
  f_.window().SetLabel(1, "Image 5 : c:\\images\\a.jpg");
  EXPECT_FALSE(ImageExistsFTP(f_.run(), "a.jpg"));
  EXPECT_EQ(f_.window().Label(1), "Image 5 : c:\\images\\a.jpg - on connection a.jpg");
}

TEST_F(ImageSyncTest, WithTheSwitchOffTheServerIsNeverAsked) {
  f_.run().state.test_ftp_vo_images = false;
  Local("a.jpg");
  SyncImage(f_.run(), "a.jpg");  // thumbnail missing locally, yet not reported
  SyncImage(f_.run(), "gone.jpg");
  EXPECT_TRUE(ImageExistsFTP(f_.run(), "nothing.jpg"));
  EXPECT_EQ(LogFile(), "");
  EXPECT_EQ(f_.run().state.updated_photo_count, 0);
  EXPECT_THAT(Commands(), IsEmpty());
  EXPECT_FALSE(f_.run().ImageServerFtp().connected());
}

TEST_F(ImageSyncTest, AFolderPartAndAnUpperCaseExtension) {
  Local("2026/abc.JPG", "photo");
  Local("2026/abcm.jpg", "thumbnail");
  SyncImage(f_.run(), "2026/abc.JPG");
  // The photo lands where its web address points; the thumbnail under its bare name.
  EXPECT_EQ(ReadFile(images_ / "2026" / "abc.JPG"), "photo");
  EXPECT_EQ(ReadFile(images_ / "abcm.jpg"), "thumbnail");
  EXPECT_EQ(LogFile(),
            std::string(kStamp) + "Update 1 : abc.JPG\r\n" + kStamp + "Update 2 : abcm.jpg\r\n");
  // Every question is asked in the image folder, also after an upload into a sub-folder.
  EXPECT_THAT(Commands(), ElementsAre("USER " + account_.user, "PASS " + account_.password, "PWD",
                                      "CWD www/voimages", "MDTM 2026/abc.JPG", "MKD 2026", "CWD /",
                                      "CWD www/voimages/2026", HasSubstr("PORT "), "TYPE I",
                                      "STOR abc.JPG", "CWD /", "CWD www/voimages", "MDTM abcm.jpg",
                                      HasSubstr("PORT "), "STOR abcm.jpg"));

  // The next run finds both and uploads nothing.
  RunFixture next;
  next.run().state.path_images = "c:\\images";
  next.run().state.test_ftp_vo_images = true;
  testing::UseImageServer(next.run(), server_, account_);
  WriteFile(next.HostPath("c:\\images") / "2026" / "abc.JPG", "photo");
  WriteFile(next.HostPath("c:\\images") / "2026" / "abcm.jpg", "thumbnail");
  SyncImage(next.run(), "2026/abc.JPG");
  EXPECT_EQ(next.run().state.updated_photo_count, 0);
}

// A photo name from the stock database that climbs out of the photo folder is a missing
// photo: the file it points at (c:\secret\x.jpg and its thumbnail here) is never read,
// copied or uploaded, and the server is not asked about it.
TEST_F(ImageSyncTest, NamesThatLeaveThePhotoFolderAreMissingPhotos) {
  WriteFile(f_.HostPath("c:\\secret\\x.jpg"), "secret");
  WriteFile(f_.HostPath("c:\\secret\\xm.jpg"), "secret thumbnail");
  Local("inside.jpg", "inside");
  Local("insidem.jpg", "inside thumbnail");
  const std::string work = "c:\\windows\\TEMP\\AS24";
  fs::create_directories(f_.HostPath(work));
  struct Case {
    const char* name;
    const char* thumbnail;  // as SyncImage names it: its bare file name
  };
  const Case cases[] = {
      {"../secret/x.jpg", "xm.jpg"},
      {"..\\secret\\x.jpg", "xm.jpg"},
      {"2026/../../secret/x.jpg", "xm.jpg"},
      {"2026\\..\\..\\secret\\x.jpg", "xm.jpg"},
      {".. /secret/x.jpg", "xm.jpg"},
      {"c:\\secret\\x.jpg", "xm.jpg"},
      {"http://www.photos.example/../secret/x.jpg", "xm.jpg"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    f_.run().WriteLog("");
    SyncImage(f_.run(), c.name);
    std::string server_name = ImageServerPath(c.name);
    CopySyncImage(f_.run(), 1, c.name, "R1", work);
    const std::string thumbnail_name = server_name.substr(0, server_name.size() - 4) + "m.jpg";
    EXPECT_EQ(LogFile(), std::string(kStamp) + "Pb Existence : " + c.name + "\r\n" + kStamp +
                             "Pb Existence : " + c.thumbnail + "\r\n" + kStamp +
                             "Pb Existence : " + server_name + "\r\n" + kStamp +
                             "Pb Existence : " + thumbnail_name + "\r\n");
    EXPECT_TRUE(fs::is_empty(f_.HostPath(work)));
  }
  EXPECT_EQ(f_.run().state.updated_photo_count, 0);
  EXPECT_THAT(Commands(), IsEmpty());

  // Climbing out of a sub-folder the name went into stays in the photo folder.
  f_.run().WriteLog("");
  SyncImage(f_.run(), "2026/../inside.jpg");
  CopySyncImage(f_.run(), 2, "2026/../inside.jpg", "R1", work);
  EXPECT_EQ(ReadFile(f_.HostPath(work) / "R1_2.jpg"), "inside");
  EXPECT_EQ(LogFile(), std::string(kStamp) + "Update 1 : inside.jpg\r\n" + kStamp +
                           "Update 2 : insidem.jpg\r\n");
  EXPECT_EQ(ReadFile(images_ / "inside.jpg"), "inside");
}

TEST_F(ImageSyncTest, AnUnreachableServerIsTriedOnceAndEveryPhotoCountsAsMissing) {
  testing::SilentServer silent;
  struct Case {
    const char* what;
    Field field;
    std::string value;
  };
  const Case cases[] = {
      {"nothing listens", Field::kServeurVOImages,
       "127.0.0.1:" + std::to_string(testing::UnusedPort())},
      {"no greeting", Field::kServeurVOImages, silent.HostPort()},
      {"wrong password", Field::kPasswordVOImages, "wrong"},
      {"missing folder", Field::kRepertVOImages, "nowhere"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RunFixture f;
    f.run().state.path_images = "c:\\images";
    f.run().state.test_ftp_vo_images = true;
    f.run().ftp_timeouts().connect = std::chrono::milliseconds(300);
    FtpServer::Account account = server_.NewAccount();
    testing::UseImageServer(f.run(), server_, account);
    f.window().SetField(c.field, c.value);
    for (const char* name : {"a.jpg", "am.jpg", "b.jpg", "bm.jpg", "c.jpg", "cm.jpg"}) {
      WriteFile(f.HostPath("c:\\images") / name, "x");
    }
    auto started = std::chrono::steady_clock::now();
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) SyncImage(f.run(), name);
    // One connect attempt for the whole run (the memo count below); the bound only tells a
    // time-out from a hang on a loaded machine.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(6));
    EXPECT_EQ(f.run().state.updated_photo_count, 6);
    std::vector<std::string> memo = f.window().MemoLines();
    EXPECT_EQ(Count(memo, "Connecting to"), 1);
    EXPECT_EQ(Count(server_.Commands(account.user), "USER"),
              c.field == Field::kServeurVOImages ? 0 : 1);
  }
}

// Each upload that fails is in the run log with its reason, and counted apart from the
// photos found missing on the server.
TEST_F(ImageSyncTest, FailedUploadsAreLoggedWithTheirReason) {
  struct Case {
    const char* what;
    FtpServer::Account account;
    ::testing::Matcher<std::string> reason;
    int tried;  // uploads tried and logged; the others are skipped
  };
  const Case cases[] = {
      {"STOR refused", server_.NewAccount("elr"), std::string("550 Not enough privileges."), 6},
      {"552 after the data", server_.NewFaultyAccount(FtpServer::Fault::kQuotaAfterData),
       std::string("552 Disk quota exceeded."), 6},
      {"PORT refused", server_.NewAccount(testing::kFtpAllPermissions, true),
       std::string("500 Active data connections are refused."), 1},
      {"upload dropped", server_.NewFaultyAccount(FtpServer::Fault::kReset),
       ::testing::AnyOf("Failed sending data to the peer",
                        "Failure when receiving data from the peer"),
       1},
  };
  for (const char* name : {"a.jpg", "am.jpg", "b.jpg", "bm.jpg", "c.jpg", "cm.jpg"}) Local(name);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RunFixture f;
    f.run().state.path_images = "c:\\images";
    f.run().state.test_ftp_vo_images = true;
    testing::UseFastFtpTimeouts(f.run());
    testing::UseImageServer(f.run(), server_, c.account);
    fs::create_directories(c.account.home / "www" / "voimages");
    fs::copy(f_.HostPath("c:\\images"), f.HostPath("c:\\images"));
    f.run().WriteLog("");
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) SyncImage(f.run(), name);
    EXPECT_EQ(f.run().state.updated_photo_count, 6);
    EXPECT_EQ(f.run().state.unsent_photo_count, 6);
    EXPECT_THAT(f.run().state.first_unsent_photo_reason, c.reason);
    const std::string log = ReadFile(f.HostPath("c:\\windows\\TEMP\\RadoveDuvude.log"));
    EXPECT_NE(log.find("Update 1 : a.jpg\r\n" + std::string(kStamp) + "Pb Envoi : a.jpg - " +
                       f.run().state.first_unsent_photo_reason + "\r\n"),
              std::string::npos)
        << log;
    std::vector<std::string> lines;
    for (size_t at = 0; (at = log.find(kStamp, at)) != std::string::npos; ++at) {
      const size_t text = at + std::strlen(kStamp);
      lines.push_back(log.substr(text, log.find('\r', text) - text));
    }
    EXPECT_EQ(Count(lines, "Pb Envoi : "), c.tried);
    // Once the server is given up, one line says so and the rest is not tried.
    EXPECT_EQ(Count(lines, "Serveur d'images inutilisable ("), c.tried == 6 ? 0 : 1);
  }
}

// A server that stops answering during an upload costs one time-out for the whole run,
// not one per photo after a fresh login each: it is given up like an unreachable one.
TEST_F(ImageSyncTest, AnUploadThatTimesOutGivesTheServerUp) {
  constexpr auto kTimeOut = std::chrono::seconds(2);
  const FtpServer::Fault faults[] = {
      FtpServer::Fault::kSilentStor,
      FtpServer::Fault::kNoFinalReply,
      FtpServer::Fault::kNoRead,
      FtpServer::Fault::kNoConnectBack,
  };
  for (const char* name : {"am.jpg", "b.jpg", "bm.jpg", "c.jpg", "cm.jpg"}) Local(name);
  // Bigger than what the connection buffers hold, so that unread data stalls the upload.
  Local("a.jpg", std::string(32 << 20, 'x'));
  for (FtpServer::Fault fault : faults) {
    SCOPED_TRACE(static_cast<int>(fault));
    RunFixture f;
    f.run().state.path_images = "c:\\images";
    f.run().state.test_ftp_vo_images = true;
    f.run().ftp_timeouts().connect = kTimeOut;
    f.run().ftp_timeouts().server_reply = kTimeOut;
    f.run().ftp_timeouts().stall = kTimeOut;
    FtpServer::Account account = server_.NewFaultyAccount(fault);
    testing::UseImageServer(f.run(), server_, account);
    fs::create_directories(account.home / "www" / "voimages");
    fs::copy(f_.HostPath("c:\\images"), f.HostPath("c:\\images"));
    f.run().WriteLog("");
    const auto started = std::chrono::steady_clock::now();
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) SyncImage(f.run(), name);
    // One time-out and the quick work around it; a loaded machine may be slow, but six
    // time-outs are far beyond.
    EXPECT_LT(std::chrono::steady_clock::now() - started, 3 * kTimeOut);
    EXPECT_EQ(f.run().state.updated_photo_count, 6);
    EXPECT_EQ(f.run().state.unsent_photo_count, 6);
    const std::vector<std::string> commands = server_.Commands(account.user);
    EXPECT_EQ(Count(commands, "USER"), 1);
    EXPECT_EQ(Count(commands, "STOR"), 1);
    EXPECT_EQ(Count(commands, "MDTM"), 1);
    const std::string log = ReadFile(f.HostPath("c:\\windows\\TEMP\\RadoveDuvude.log"));
    EXPECT_NE(log.find("Serveur d'images inutilisable (" + f.run().state.first_unsent_photo_reason +
                       ") : les photos suivantes ne lui sont pas envoyées"),
              std::string::npos)
        << log;
  }
}

TEST_F(ImageSyncTest, WithoutDataConnectionsTheRemainingUploadsAreSkipped) {
  FtpServer::Account no_active = server_.NewAccount(testing::kFtpAllPermissions, true);
  testing::UseImageServer(f_.run(), server_, no_active);
  fs::create_directories(no_active.home / "www" / "voimages");
  for (const char* name : {"a.jpg", "am.jpg", "b.jpg", "bm.jpg"}) Local(name);
  SyncImage(f_.run(), "a.jpg");
  SyncImage(f_.run(), "b.jpg");
  EXPECT_EQ(f_.run().state.updated_photo_count, 4);
  std::vector<std::string> commands = server_.Commands(no_active.user);
  EXPECT_EQ(Count(commands, "PORT"), 1);
  EXPECT_EQ(Count(commands, "MDTM"), 4);
  EXPECT_EQ(Count(commands, "STOR"), 0);
}

TEST_F(ImageSyncTest, CopySyncImageCopiesAndOnlyReports) {
  Local("x.jpg", "photo");
  Local("voimages/y.jpg", "web photo");
  Local("voimages/ym.jpg", "web thumbnail");
  OnServer("voimages/y.jpg");
  f_.run().state.photo_count = 2;
  const std::string work = "c:\\windows\\TEMP\\AS24";
  fs::create_directories(f_.HostPath(work));
  CopySyncImage(f_.run(), 3, "x.jpg", "R42", work);
  CopySyncImage(f_.run(), 1, "HTTP://www.photos.example/voimages/y.jpg", "R43", work);
  CopySyncImage(f_.run(), 2, "gone.jpg", "R44", work);
  EXPECT_EQ(ReadFile(f_.HostPath(work) / "R42_3.jpg"), "photo");
  EXPECT_EQ(ReadFile(f_.HostPath(work) / "R43_1.jpg"), "web photo");
  EXPECT_FALSE(fs::exists(f_.HostPath(work) / "R44_2.jpg"));
  EXPECT_EQ(fs::directory_iterator(f_.HostPath(work)) == fs::directory_iterator(), false);
  EXPECT_EQ(f_.run().state.photo_count, 5);
  EXPECT_EQ(LogFile(), std::string(kStamp) + "Update 1 : x.jpg\r\n" + kStamp +
                           "Pb Existence : xm.jpg\r\n" + kStamp + "Update 2 : voimages/ym.jpg\r\n" +
                           kStamp + "Pb Existence : gone.jpg\r\n" + kStamp +
                           "Pb Existence : gonem.jpg\r\n");
  EXPECT_EQ(f_.window().Label(1), "Image 5 : c:\\images\\gone.jpg");
  EXPECT_EQ(f_.window().Label(2), "Update 2 : c:\\images\\voimages/ym.jpg");
  EXPECT_EQ(Count(Commands(), "STOR"), 0);
}

TEST_F(ImageSyncTest, CopySyncImageReportsMissingFilesWithTheSwitchOff) {
  f_.run().state.test_ftp_vo_images = false;
  Local("x.jpg");
  CopySyncImage(f_.run(), 1, "x.jpg", "R1", "c:\\windows\\TEMP");
  EXPECT_EQ(LogFile(), std::string(kStamp) + "Pb Existence : xm.jpg\r\n");
  EXPECT_THAT(Commands(), IsEmpty());
}

TEST_F(ImageSyncTest, CopySyncImageKeepsTheCopyInTheWorkingFolder) {
  f_.run().state.test_ftp_vo_images = false;
  Local("x.jpg", "photo");
  const std::string work = "c:\\windows\\TEMP\\AS24";
  fs::create_directories(f_.HostPath(work));
  CopySyncImage(f_.run(), 1, "x.jpg", "..\\..\\evil", work);
  CopySyncImage(f_.run(), 2, "x.jpg", "a/b:c", work);
  EXPECT_EQ(ReadFile(f_.HostPath(work) / ".._.._evil_1.jpg"), "photo");
  EXPECT_EQ(ReadFile(f_.HostPath(work) / "a_b_c_2.jpg"), "photo");
  EXPECT_FALSE(fs::exists(f_.HostPath("c:\\windows\\evil_1.jpg")));
}

TEST(ImageServerPathTest, DropsTheHostOfWebAddresses) {
  struct Case {
    const char* name;
    const char* path;
  };
  const Case cases[] = {
      {"2026/abc.jpg", "2026/abc.jpg"},
      {"http://www.photos.example/voimages/abc.jpg", "voimages/abc.jpg"},
      {"HtTp://WwW.photos.example/voimages/abc.jpg", "voimages/abc.jpg"},
      {"http://www.photos.example", ""},
      {"http://photos.example/voimages/abc.jpg", "http://photos.example/voimages/abc.jpg"},
      {"http://www", ""},
      {"http://ww", "http://ww"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ImageServerPath(c.name), c.path) << c.name;
}

}  // namespace
}  // namespace listelo
