#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "app/run.h"
#include "delivery/ftp_client.h"
#include "photos/image_sync.h"
#include "photos/image_sync_fixture.h"
#include "support/ftp_server.h"
#include "support/ssh_server.h"
#include "support/temp_tree.h"

namespace listelo {
namespace {

namespace fs = std::filesystem;
using testing::Count;
using ::testing::HasSubstr;
using testing::ReadFile;
using testing::RunFixture;
using testing::SshServer;
using testing::WriteFile;

// A run with its photo folder at c:\images whose image server is the test SSH server,
// with a fresh image folder (www/voimages below a new folder).
class SftpImageSyncTest : public testing::ImageSyncFixture {
 protected:
  void SetUp() override {
    std::string why;
    server_ = SshServer::Shared(&why);
    if (server_ == nullptr) GTEST_SKIP() << why;
    logins_before_ = server_->Logins();
    folder_ = server_->NewFolder() + "/www/voimages";
    images_ = server_->login_folder() / folder_;
    fs::create_directories(images_);
    Prepare(f_);
  }

  // Every run of a test uses the same server and image folder.
  void Prepare(RunFixture& f) {
    f.run().set_ini(IniFile::FromText(server_->SftpSection("VOImages", server_->authorized_key())));
    f.run().state.export_target = "PARUVENDU";
    f.run().state.path_images = "c:\\images";
    f.run().state.test_ftp_vo_images = true;
    testing::UseFastFtpTimeouts(f.run());
    testing::UseSshServerAsImageServer(f.run(), *server_, folder_);
    f.run().WriteLog("");
  }

  // Logins of this test: the server serves the whole test program.
  int NewLogins() const { return server_->Logins() - logins_before_; }

  SshServer* server_ = nullptr;
  int logins_before_ = 0;
  std::string folder_;
};

TEST_F(SftpImageSyncTest, ExistenceIsAnsweredByOpeningTheFile) {
  OnServer("a.jpg");
  fs::create_directories(images_ / "2026");
  OnServer("2026/b.jpg");
  struct Case {
    const char* name;
    bool exists;
  };
  const Case cases[] = {
      {"a.jpg", true},       {"2026/b.jpg", true},   {"b.jpg", false},
      {"2026/a.jpg", false}, {"missing.jpg", false}, {"nofolder/a.jpg", false},
  };
  for (const Case& c : cases) EXPECT_EQ(ImageExistsFTP(f_.run(), c.name), c.exists) << c.name;
  // One session answers every question.
  EXPECT_EQ(NewLogins(), 1);
  EXPECT_TRUE(f_.run().ImageServerFtp().connected());
}

TEST_F(SftpImageSyncTest, DecisionTableForPhotoAndThumbnail) { SyncDecisionTable(); }

TEST_F(SftpImageSyncTest, APhotoWithAFolderPartLandsWhereItsAddressPoints) {
  Local("2026/05/abc.jpg", "photo");
  Local("2026/05/abcm.jpg", "thumbnail");
  SyncImage(f_.run(), "2026/05/abc.jpg");
  // The missing folders are made; the thumbnail keeps its bare name.
  EXPECT_EQ(ReadFile(images_ / "2026" / "05" / "abc.jpg"), "photo");
  EXPECT_EQ(ReadFile(images_ / "abcm.jpg"), "thumbnail");
  EXPECT_EQ(f_.run().state.unsent_photo_count, 0);

  // The next run finds both and uploads nothing.
  RunFixture next;
  Prepare(next);
  WriteFile(next.HostPath("c:\\images") / "2026" / "05" / "abc.jpg", "photo");
  WriteFile(next.HostPath("c:\\images") / "2026" / "05" / "abcm.jpg", "thumbnail");
  SyncImage(next.run(), "2026/05/abc.jpg");
  EXPECT_EQ(next.run().state.updated_photo_count, 0);
}

TEST_F(SftpImageSyncTest, AnImageServerWithAnUnknownHostKeyIsGivenUpOnce) {
  f_.run().set_ini(IniFile::FromText(
      "[VOImages]\r\nProtocol=SFTP\r\nSshKey=" + server_->authorized_key().file.string() +
      "\r\nSshKnownHosts=" + server_->KnownHosts(SshServer::HostEntry::kMissing).string() +
      "\r\n"));
  for (const char* name : {"a.jpg", "am.jpg", "b.jpg", "bm.jpg"}) Local(name);
  for (const char* name : {"a.jpg", "b.jpg"}) SyncImage(f_.run(), name);
  // Every photo counts as missing there, and nothing reaches it.
  EXPECT_EQ(f_.run().state.updated_photo_count, 4);
  EXPECT_EQ(f_.run().state.unsent_photo_count, 4);
  EXPECT_THAT(f_.run().state.first_unsent_photo_reason, HasSubstr("Unknown host key"));
  EXPECT_EQ(Count(f_.window().MemoLines(), "Connecting to"), 1);
  EXPECT_THAT(LogFile(), HasSubstr("Serveur d'images inutilisable (Unknown host key: "));
  EXPECT_TRUE(fs::is_empty(images_));
  EXPECT_EQ(NewLogins(), 0);
}

TEST_F(SftpImageSyncTest, CopySyncImageOnlyReports) {
  Local("x.jpg", "photo");
  Local("xm.jpg", "thumbnail");
  OnServer("xm.jpg");
  const std::string work = "c:\\windows\\TEMP\\AS24";
  fs::create_directories(f_.HostPath(work));
  CopySyncImage(f_.run(), 1, "x.jpg", "R42", work);
  EXPECT_EQ(ReadFile(f_.HostPath(work) / "R42_1.jpg"), "photo");
  EXPECT_EQ(LogFile(), std::string(kStamp) + "Update 1 : x.jpg\r\n");
  EXPECT_FALSE(fs::exists(images_ / "x.jpg"));
}

}  // namespace
}  // namespace listelo
