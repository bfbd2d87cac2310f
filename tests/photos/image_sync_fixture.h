// What the image-sync tests over FTP and over SFTP share: a run whose photo folder is
// c:\images, the image folder of its server as the test sees it on disk, and the decision
// table that both kinds of server must give.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/run.h"
#include "photos/image_sync.h"
#include "support/temp_tree.h"

namespace listelo::testing {

class ImageSyncFixture : public ::testing::Test {
 protected:
  static constexpr const char* kStamp = "08/12/2026 14:03:09 - ";

  void Local(const std::string& relative, const std::string& bytes = "jpeg") {
    WriteFile(f_.HostPath("c:\\images") / relative, bytes);
  }
  void OnServer(const std::string& relative) { WriteFile(images_ / relative, "old"); }
  std::string LogFile() {
    return ReadFile(f_.HostPath("c:\\windows\\TEMP\\RadoveDuvudePARUVENDU.log"));
  }

  // A photo and its thumbnail on both sides (nothing to do), only here (uploaded), only on
  // the server (nothing to do) and on neither side (logged), synchronised in that order.
  void SyncDecisionTable() {
    Local("both.jpg");
    Local("bothm.jpg");
    OnServer("both.jpg");
    OnServer("bothm.jpg");
    Local("new.jpg", "new photo");
    Local("newm.jpg", "new thumbnail");
    OnServer("remote.jpg");
    OnServer("remotem.jpg");
    for (const char* name : {"both.jpg", "new.jpg", "remote.jpg", "gone.jpg"}) {
      SyncImage(f_.run(), name);
    }
    EXPECT_EQ(LogFile(), std::string(kStamp) + "Update 1 : new.jpg\r\n" + kStamp +
                             "Update 2 : newm.jpg\r\n" + kStamp + "Pb Existence : gone.jpg\r\n" +
                             kStamp + "Pb Existence : gonem.jpg\r\n");
    EXPECT_EQ(ReadFile(images_ / "new.jpg"), "new photo");
    EXPECT_EQ(ReadFile(images_ / "newm.jpg"), "new thumbnail");
    EXPECT_EQ(ReadFile(images_ / "both.jpg"), "old");
    EXPECT_FALSE(std::filesystem::exists(images_ / "gone.jpg"));
  }

  RunFixture f_;
  std::filesystem::path images_;  // the server's image folder
};

}  // namespace listelo::testing
