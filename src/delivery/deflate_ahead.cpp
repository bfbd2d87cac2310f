#include "delivery/deflate_ahead.h"

#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <new>
#include <utility>

#include "platform/c_file.h"

namespace listelo {

namespace {

// How far ahead of libzip the workers may go: enough to keep them busy while a file is
// written, few enough that the files held at once stay a few megabytes.
constexpr std::size_t kFilesAhead = 32;

DeflatedFile ReadAndDeflate(const DeflateAhead::File& file, WholeDeflater& deflater) {
  DeflatedFile out;
  std::string data;
  out.zip_error = ReadMeasuredFile(file.host, file.size, data, out.system_error);
  if (out.zip_error != 0) return out;
  try {
    out.data = deflater.Deflate(data);
  } catch (const std::bad_alloc&) {
    out.zip_error = ZIP_ER_MEMORY;
  }
  return out;
}

}  // namespace

int ReadMeasuredFile(const std::filesystem::path& host, std::uint64_t size, std::string& data,
                     int& system_error) {
  FileHandle file = OpenCFile(host, "rb");
  if (!file) {
    system_error = errno;
    return ZIP_ER_OPEN;
  }
  data.resize(static_cast<size_t>(size));
  const size_t got = std::fread(data.data(), 1, data.size(), file.get());
  if (got < data.size()) {
    if (std::ferror(file.get())) {
      system_error = errno;
      return ZIP_ER_READ;
    }
    return ZIP_ER_CHANGED;
  }
  return 0;
}

bool DeflatedAhead(std::uint64_t size) { return size <= kDeflatePieceSize; }

DeflateAhead::DeflateAhead(std::vector<File> files, unsigned threads)
    : files_(std::move(files)), states_(files_.size(), State::kWaiting), results_(files_.size()) {
  if (files_.empty()) return;
  for (unsigned t = 0; t < std::max(1u, threads); ++t) workers_.emplace_back([this] { Work(); });
}

DeflateAhead::~DeflateAhead() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  work_.notify_all();
  workers_.clear();  // joins them
}

void DeflateAhead::SkipStartedFiles() {
  while (next_ < files_.size() && states_[next_] != State::kWaiting) ++next_;
}

std::size_t DeflateAhead::NextForWorker() {
  SkipStartedFiles();
  return next_ < taken_ + kFilesAhead ? next_ : files_.size();
}

bool DeflateAhead::RoomForIdleWorkers() {
  if (idle_workers_ == 0) return false;
  SkipStartedFiles();
  return next_ == files_.size() || next_ + kFilesAhead / 2 <= taken_ + kFilesAhead;
}

void DeflateAhead::Work() {
  // A stream that could not be had leaves the files to the calling thread.
  std::unique_ptr<WholeDeflater> deflater;
  try {
    deflater = std::make_unique<WholeDeflater>();
  } catch (const std::bad_alloc&) {
    return;
  }
  std::unique_lock lock(mutex_);
  for (;;) {
    // Woken when a file may be started, when every file is started, or to stop.
    ++idle_workers_;
    work_.wait(lock, [this] {
      return stop_ || NextForWorker() < files_.size() || next_ == files_.size();
    });
    --idle_workers_;
    if (stop_ || next_ == files_.size()) return;
    const std::size_t i = next_;
    states_[i] = State::kWorking;
    lock.unlock();
    DeflatedFile result = ReadAndDeflate(files_[i], *deflater);
    lock.lock();
    results_[i] = std::move(result);
    states_[i] = State::kDone;
    if (awaited_ == i) done_.notify_one();
  }
}

DeflatedFile DeflateAhead::Take(std::size_t i) {
  std::unique_lock lock(mutex_);
  taken_ = std::max(taken_, i + 1);
  if (RoomForIdleWorkers()) work_.notify_all();
  // A file no worker has come to, or one asked for again, is deflated here.
  if (states_[i] == State::kWaiting || states_[i] == State::kTaken) {
    states_[i] = State::kTaken;
    lock.unlock();
    try {
      WholeDeflater deflater;
      return ReadAndDeflate(files_[i], deflater);
    } catch (const std::bad_alloc&) {
      DeflatedFile failed;
      failed.zip_error = ZIP_ER_MEMORY;
      return failed;
    }
  }
  awaited_ = i;
  done_.wait(lock, [&] { return states_[i] == State::kDone; });
  awaited_ = kNone;
  states_[i] = State::kTaken;
  return std::exchange(results_[i], {});
}

}  // namespace listelo
