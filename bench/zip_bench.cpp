// zip_bench <folder> <archive>: packs every file of the folder into a new archive with
// TZip, as the exporters do, and prints one figure line.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/window_port.h"
#include "delivery/zip.h"
#include "platform/paths.h"

namespace {

// Counts what the packing reports, to show that the progress path is exercised.
class CountingSink : public listelo::ProgressSink {
 public:
  void BeginBatch(std::uint64_t total_bytes) override { total = total_bytes; }
  void BeginFile(const std::string&, std::uint64_t) override { ++files; }
  void Progress(std::uint64_t) override { ++reports; }

  std::uint64_t total = 0;
  long files = 0;
  long reports = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: zip_bench <folder> <archive>\n");
    return 2;
  }
  namespace fs = std::filesystem;
  const std::string folder = fs::absolute(argv[1]).string();
  const std::string archive = fs::absolute(argv[2]).string();
  fs::remove(archive);

  listelo::PathMapper paths("/");
  CountingSink sink;
  listelo::TZip zip(paths, sink);
  const auto start = std::chrono::steady_clock::now();
  try {
    zip.OpenArchive(archive);
    zip.FileSpecs().push_back(folder + "/*.*");
    zip.AddFiles();
  } catch (const listelo::ZipException& e) {
    std::fprintf(stderr, "zip_bench: %s\n", e.what());
    return 1;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double megabytes = static_cast<double>(sink.total) / 1e6;
  std::printf("TZip:    %ld files, %.1f MB in %.2f s (%.1f MB/s), %ld progress reports\n",
              sink.files, megabytes, seconds, megabytes / seconds, sink.reports);
  return 0;
}
