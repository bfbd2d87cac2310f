// Image server synchronisation speed: 1,000 photos (each with its thumbnail) checked
// against a local pyftpdlib server, once when the server holds them all (one MDTM per
// file) and once when it holds none (one MDTM and one upload per file).
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/run.h"
#include "photos/image_sync.h"
#include "support/ftp_server.h"
#include "support/temp_tree.h"

namespace {

namespace fs = std::filesystem;
using listelo::testing::FtpServer;
using listelo::testing::RunFixture;
using listelo::testing::WriteFile;

constexpr int kPhotos = 1000;

std::string PhotoName(int i, const char* ending = ".jpg") {
  std::string name = "p";
  name += std::to_string(i);
  return name + ending;
}

// Synchronises every photo once; returns photos per second.
double Measure(FtpServer& server, const FtpServer::Account& account, const char* what) {
  RunFixture f("");
  f.run().state.path_images = "c:\\images";
  f.run().state.test_ftp_vo_images = true;
  listelo::testing::UseImageServer(f.run(), server, account);
  for (int i = 0; i < kPhotos; ++i) {
    WriteFile(f.HostPath("c:\\images") / PhotoName(i), std::string(20000, 'p'));
    WriteFile(f.HostPath("c:\\images") / PhotoName(i, "m.jpg"), std::string(3000, 't'));
  }
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kPhotos; ++i) listelo::SyncImage(f.run(), PhotoName(i));
  std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  double rate = kPhotos / seconds.count();
  std::printf("%-48s %8.0f photos/s  (%d uploads, %.2f s)\n", what, rate,
              f.run().state.updated_photo_count, seconds.count());
  return rate;
}

}  // namespace

int main() {
  FtpServer server;
  FtpServer::Account account = server.NewAccount();
  fs::create_directories(account.home / "www" / "voimages");
  Measure(server, account, "1,000 photos missing on the server (uploaded):");
  Measure(server, account, "1,000 photos present on the server (checked):");
  return 0;
}
