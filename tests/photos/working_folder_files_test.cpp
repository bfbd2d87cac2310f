#include "photos/working_folder_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include "support/temp_tree.h"

namespace listelo {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::RunFixture;
using testing::WriteFile;

// A copy over whatever stands at its place: the photo's bytes and time, nothing written
// through a link, a folder left alone.
TEST(PlaceCopyTest, MakesTheTargetACopyOfThePhoto) {
  const auto an_hour_ago = fs::file_time_type::clock::now() - std::chrono::hours(1);
  struct Case {
    const char* what;
    std::function<void(const fs::path& photo, const fs::path& target, const fs::path& outside)>
        before;
    bool placed;
  } cases[] = {
      {"nothing there", [](auto&, auto&, auto&) {}, true},
      {"the previous copy", [](auto& photo, auto& target, auto&) { PlaceCopy(photo, target); },
       true},
      {"same size, older",
       [&](auto&, auto& target, auto&) {
         WriteFile(target, "OLD PHOTO");
         fs::last_write_time(target, an_hour_ago);
       },
       true},
      {"other size", [](auto&, auto& target, auto&) { WriteFile(target, "x"); }, true},
      {"read-only",
       [](auto&, auto& target, auto&) {
         WriteFile(target, "x");
         fs::permissions(target, fs::perms::owner_read);
       },
       true},
      {"a link to a file elsewhere",
       [](auto&, auto& target, auto& outside) { fs::create_symlink(outside, target); }, true},
      {"a folder", [](auto&, auto& target, auto&) { fs::create_directories(target); }, false},
  };
  for (const Case& c : cases) {
    RunFixture f;
    const fs::path photo = f.HostPath("c:\\images\\a.jpg");
    const fs::path outside = f.HostPath("c:\\keep\\precious.jpg");
    const fs::path target = f.HostPath("c:\\windows\\TEMP\\AS24\\R_1.jpg");
    WriteFile(photo, "new photo");
    fs::last_write_time(photo, an_hour_ago + std::chrono::minutes(1));
    WriteFile(outside, "precious");
    fs::create_directories(target.parent_path());
    c.before(photo, target, outside);

    EXPECT_EQ(PlaceCopy(photo, target), c.placed) << c.what;
    if (c.placed) {
      EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(target))) << c.what;
      EXPECT_EQ(ReadFile(target), "new photo") << c.what;
      EXPECT_EQ(fs::last_write_time(target), fs::last_write_time(photo)) << c.what;
    }
    EXPECT_EQ(ReadFile(photo), "new photo") << c.what;
    EXPECT_EQ(ReadFile(outside), "precious") << c.what;
  }
}

// A photo reached through a link is copied, bytes and time, rather than linked: a link to
// a relative link would name a file beside the copy.
TEST(PlaceCopyTest, APhotoBehindALinkIsCopied) {
  RunFixture f;
  const fs::path images = f.HostPath("c:\\images");
  WriteFile(images / "real.jpg", "photo");
  fs::create_symlink("real.jpg", images / "a.jpg");
  const fs::path target = f.HostPath("c:\\windows\\TEMP\\AS24\\R_1.jpg");
  fs::create_directories(target.parent_path());
  ASSERT_TRUE(PlaceCopy(images / "a.jpg", target));
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(target)));
  EXPECT_EQ(ReadFile(target), "photo");
  EXPECT_EQ(fs::last_write_time(target), fs::last_write_time(images / "real.jpg"));
  EXPECT_FALSE(PlaceCopy(images / "missing.jpg", target));
}

// The folder ends with this run's files alone: other files and other spellings of this
// run's names go, sub-folders are emptied and stay, a copy already right is the same file.
TEST(WorkingFolderFilesTest, KeepsOnlyWhatTheRunProduces) {
  RunFixture f;
  const fs::path photo = f.HostPath("c:\\images\\a.jpg");
  WriteFile(photo, "photo");
  const fs::path folder = f.HostPath("c:\\windows\\TEMP\\AS24");
  fs::create_directories(folder);
  {
    WorkingFolderFiles first(f.run(), "c:\\windows\\TEMP\\AS24");
    ASSERT_TRUE(first.CopyPhoto(photo, "R_1.jpg"));
  }
  const auto kept_time = fs::last_write_time(folder / "R_1.jpg");
  WriteFile(folder / "stale.jpg", "s");
  WriteFile(folder / ".hidden", "h");
  WriteFile(folder / "r_2.JPG", "other spelling");
  WriteFile(folder / "x.CSV", "other spelling");
  WriteFile(folder / "sub" / "old.jpg", "o");

  WorkingFolderFiles files(f.run(), "c:\\windows\\TEMP\\AS24");
  EXPECT_TRUE(files.CopyPhoto(photo, "R_1.jpg"));
  EXPECT_TRUE(files.CopyPhoto(photo, "R_2.jpg"));
  EXPECT_FALSE(files.CopyPhoto(f.HostPath("c:\\images\\missing.jpg"), "R_3.jpg"));
  files.ClaimFile("x.csv");
  WriteFile(folder / "x.csv", "csv");
  files.RemoveOthers();

  std::vector<std::string> left;
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    left.push_back(fs::relative(e.path(), folder).generic_string());
  }
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"R_1.jpg", "R_2.jpg", "sub", "x.csv"}));
  EXPECT_EQ(fs::last_write_time(folder / "R_1.jpg"), kept_time);
  EXPECT_EQ(ReadFile(folder / "R_2.jpg"), "photo");
  EXPECT_EQ(ReadFile(folder / "x.csv"), "csv");
  EXPECT_EQ(ReadFile(photo), "photo");
}

}  // namespace
}  // namespace listelo
