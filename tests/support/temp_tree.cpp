#include "support/temp_tree.h"

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace listelo::testing {
namespace fs = std::filesystem;

TempTree::TempTree() {
  std::random_device rd;
  fs::path base = fs::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path candidate = base / ("listelo-test-" + std::to_string(rd()));
    if (fs::create_directory(candidate)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempTree::~TempTree() {
  std::error_code ec;
  // Read-only entries made by a test must not stop the clean-up.
  for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::end(it);
       it.increment(ec)) {
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::remove_all(path_, ec);
}

std::string ReadFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + file.string());
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& file, const std::string& bytes) {
  fs::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

DateTime RunFixture::DefaultNow() {
  DateTime dt;
  dt.year = 2026;
  dt.month = 12;
  dt.day = 8;
  dt.hour = 14;
  dt.minute = 3;
  dt.second = 9;
  dt.day_of_week = 2;
  return dt;
}

RunFixture::RunFixture(const char* ini_text) : clock_(DefaultNow()) {
  environment_.Set("LISTELO_ROOT", tree_.path().string());
  environment_.Set("Windir", "c:\\windows");
  fs::create_directories(tree_.path() / "c" / "windows" / "TEMP");
  fs::path ini = tree_.path() / "Listelo.ini";
  if (ini_text != nullptr) WriteFile(ini, ini_text);
  environment_.Set("LISTELO_INI", ini.string());
  host_ = std::make_unique<Host>(Host{environment_, clock_, tree_.path() / "bin" / "listelo"});
  run_ = std::make_unique<Run>(*host_, window_);
  run_->regional().long_time_format = "hh:nn:ss";
}

}  // namespace listelo::testing
