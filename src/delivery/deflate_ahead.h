// Small files deflated ahead of their turn while libzip writes the ones before them.
//
// An archive of tens of thousands of photos of a few kilobytes each is packed file by
// file: libzip asks for one file's deflated bytes, writes them, then asks for the next.
// A file of one piece leaves the other processors idle while it is deflated, and the
// writing leaves idle the processor that deflates. Worker threads rather read and deflate
// the coming files, a bounded number ahead, in the order libzip will ask for them, each
// worker with one zlib stream that it resets between files.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "delivery/deflate_pieces.h"

namespace listelo {

// What reading and deflating one file came to: its deflated data, or the libzip error
// code (ZIP_ER_OPEN, ZIP_ER_READ, ZIP_ER_CHANGED, ZIP_ER_MEMORY) and errno that stopped it.
struct DeflatedFile {
  DeflatedData data;
  int zip_error = 0;
  int system_error = 0;
};

// Reads the file as it was measured: a file that grew meanwhile is taken at its measured
// `size`, one that shrank fails with ZIP_ER_CHANGED. Returns the libzip error code, 0 when
// the file was read.
int ReadMeasuredFile(const std::filesystem::path& host, std::uint64_t size, std::string& data,
                     int& system_error);

// The files of at most one deflate piece (kDeflatePieceSize) are the ones worth handing
// to the workers; a bigger file is deflated in pieces on every processor by itself.
bool DeflatedAhead(std::uint64_t size);

class DeflateAhead {
 public:
  struct File {
    std::filesystem::path host;
    std::uint64_t size = 0;
  };

  // Starts `threads` workers (at least one) on `files`, taken in this order.
  DeflateAhead(std::vector<File> files, unsigned threads);
  // Stops the workers once they finish the file each holds, and lets go of what nobody took.
  ~DeflateAhead();
  DeflateAhead(const DeflateAhead&) = delete;
  DeflateAhead& operator=(const DeflateAhead&) = delete;

  // File `i`, deflated: waits for the worker that holds it, or deflates it on the calling
  // thread when no worker has come to it yet. Each file is taken once.
  DeflatedFile Take(std::size_t i);

 private:
  enum class State { kWaiting, kWorking, kDone, kTaken };

  void Work();
  // Moves `next_` past the files a worker or the caller has started.
  void SkipStartedFiles();
  // Index of the next file a worker may start, or the file count when there is none yet.
  std::size_t NextForWorker();
  // Whether idle workers are worth waking: they sleep until a good part of the room ahead
  // is free again, not at each file taken, which would cost a wake-up per file.
  bool RoomForIdleWorkers();

  std::vector<File> files_;
  std::mutex mutex_;
  std::condition_variable work_;  // workers wait on it for room ahead, or to stop
  std::condition_variable done_;  // the caller waits on it for its file
  std::size_t idle_workers_ = 0;
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::size_t awaited_ = kNone;  // the file the caller waits for
  std::vector<State> states_;
  std::vector<DeflatedFile> results_;
  std::size_t next_ = 0;   // no file before it is waiting
  std::size_t taken_ = 0;  // one past the last file taken: the workers stay near it
  bool stop_ = false;
  std::vector<std::jthread> workers_;  // last: they start once the rest is ready
};

}  // namespace listelo
