// Exporter run times on the generated 20,000-vehicle stock, headless, against a local
// FTP gateway (pyftpdlib): the whole run from StartExport to RunFinished, with the
// image-server test switch off and no local photos (every photo is reported missing).
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/run.h"
#include "app/shell.h"
#include "stock_generator.h"
#include "support/ftp_server.h"
#include "support/temp_tree.h"

namespace {

namespace fs = std::filesystem;
using listelo::testing::FtpServer;
using listelo::testing::RunFixture;
using listelo::testing::WriteFile;

constexpr int kVehicles = 20000;

// The document without its photo records: the run's own cost, without the photo reports.
std::string WithoutPhotos(std::string document) {
  const size_t begin = document.find("<LiensImages>");
  const size_t end = document.rfind("</LiensImages>");
  if (begin != std::string::npos && end != std::string::npos) {
    document.erase(begin, end + std::string("</LiensImages>").size() - begin);
  }
  return document;
}

void MeasureAutoScout24(FtpServer& server, const char* what, const std::string& document) {
  const FtpServer::Account gateway = server.NewAccount();
  RunFixture f(nullptr);
  WriteFile(f.tree().path() / "Listelo.ini",
            "[Options]\nPathImages=c:\\images\nDebug=0\nDecimalSeparator=,\n"
            "[AUTOSCOUT24]\nServeurFTP=" +
                server.HostPort() + "\nUser=" + gateway.user + "\nPassWord=" + gateway.password +
                "\nidClient=0123456789\nTestFTPVOImages=0\n");
  // A dealer's photo folder has not just been made: it last changed some time ago.
  const fs::path images = f.HostPath("c:\\images");
  fs::create_directories(images);
  fs::last_write_time(images, fs::file_time_type::clock::now() - std::chrono::hours(1));
  WriteFile(f.HostPath("c:\\projects\\Quarno\\data\\Listelo\\ExpDatasAutoScout24.xml"), document);
  const auto start = std::chrono::steady_clock::now();
  listelo::StartExport(f.run(), "AUTOSCOUT24");
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  const auto& state = f.run().state;
  std::printf("%-58s %6.2f s  (%d VO, %d photos, %s; target < 5 s)\n", what, seconds.count(),
              state.vehicle_count, state.photo_count,
              state.run_finished && fs::exists(gateway.home / "0123456789.zip") ? "uploaded"
                                                                                : "NOT FINISHED");
}

}  // namespace

int main() {
  FtpServer server;
  const std::string document =
      listelo::bench::MakeStockDocument(kVehicles, 1, listelo::bench::StockFields::kAutoScout24);
  MeasureAutoScout24(server, "AUTOSCOUT24, 20,000 vehicles, no local photos:", document);
  MeasureAutoScout24(server,
                     "AUTOSCOUT24, 20,000 vehicles, no photo records:", WithoutPhotos(document));
  return 0;
}
