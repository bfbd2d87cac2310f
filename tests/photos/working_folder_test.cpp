#include <gtest/gtest.h>

#include <filesystem>

#include "photos/working_folder.h"
#include "support/temp_tree.h"

namespace listelo {
namespace {

namespace fs = std::filesystem;
using testing::RunFixture;
using testing::WriteFile;

TEST(EmptyFolderTest, DeletesEveryFileAndKeepsTheSubFolders) {
  RunFixture f;
  fs::path folder = f.HostPath("c:\\windows\\TEMP\\AS24");
  WriteFile(folder / "a.jpg", "a");
  WriteFile(folder / ".hidden", "h");
  WriteFile(folder / "read-only.csv", "r");
  fs::permissions(folder / "read-only.csv", fs::perms::owner_read);
  WriteFile(folder / "sub" / "b.jpg", "b");
  WriteFile(folder / "sub" / "deeper" / "c.jpg", "c");
  EXPECT_TRUE(EmptyFolder(f.run(), "c:\\windows\\TEMP\\AS24"));
  std::vector<fs::path> left;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) left.push_back(entry.path());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<fs::path>{folder / "sub", folder / "sub" / "deeper"}));
}

TEST(EmptyFolderTest, LinksAreRemovedNotFollowed) {
  RunFixture f;
  fs::path outside = f.HostPath("c:\\keep");
  WriteFile(outside / "precious.txt", "p");
  fs::path folder = f.HostPath("c:\\windows\\TEMP\\Argus");
  fs::create_directories(folder);
  fs::create_directory_symlink(outside, folder / "link");
  fs::create_symlink(outside / "precious.txt", folder / "file-link");
  EmptyFolder(f.run(), "c:\\windows\\TEMP\\Argus");
  EXPECT_TRUE(fs::is_empty(folder));
  EXPECT_TRUE(fs::exists(outside / "precious.txt"));
}

TEST(EmptyFolderTest, MissingFoldersAndDriveRootsAreLeftAlone) {
  RunFixture f;
  WriteFile(f.HostPath("c:\\keep.txt"), "k");
  for (const char* path : {"c:\\windows\\TEMP\\missing", "c:\\", "c:", "\\", ""}) {
    EXPECT_TRUE(EmptyFolder(f.run(), path)) << path;
  }
  EXPECT_TRUE(fs::exists(f.HostPath("c:\\keep.txt")));
}

}  // namespace
}  // namespace listelo
