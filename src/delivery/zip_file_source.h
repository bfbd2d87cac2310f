// What libzip reads while it writes an archive: one source per file to pack, which
// hands libzip the file already deflated (on all processors for a big file), reports
// the work done to the progress sink and stops the work when the sink asks.
#pragma once

#include <zip.h>

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>

#include "delivery/zip_archive.h"

namespace listelo {

class DeflateAhead;
struct DeflatedData;
class ProgressSink;
class WindowPort;

// One batch of files being packed: tells the sink where the work stands and lets the
// window's events run, so that its Cancel button can be pressed. Begins the batch when
// made; ends it when destroyed, whatever the outcome.
class PackingProgress {
 public:
  PackingProgress(ProgressSink& sink, WindowPort* window, std::uint64_t total_bytes);
  ~PackingProgress();
  PackingProgress(const PackingProgress&) = delete;
  PackingProgress& operator=(const PackingProgress&) = delete;

  void BeginFile(const std::string& name, std::uint64_t size);
  void Advance(std::uint64_t bytes);
  // Reports the bytes not reported yet (at the end of each file).
  void Flush();
  bool Cancelled() const;

  // For zip_register_cancel_callback_with_state: `state` is a PackingProgress.
  static int CancelCallback(zip_t* archive, void* state);

 private:
  void LetEventsRun();

  ProgressSink& sink_;
  WindowPort* window_;
  std::uint64_t bytes_done_ = 0;
  std::uint64_t bytes_reported_ = 0;
};

// A file on disk as a libzip source of deflated data, which libzip stores as it is. The
// file is read and deflated when libzip first asks about it, and its deflated bytes are
// let go when libzip has copied them: one file at a time is held in memory. The object
// must outlive the archive it was added to: libzip calls it back until the archive is
// closed or discarded.
class PackedFileSource {
 public:
  // A big file is deflated in pieces on `threads` threads.
  PackedFileSource(PackingProgress& progress, unsigned threads, std::filesystem::path host,
                   std::string name, std::uint64_t size, std::time_t mtime);
  ~PackedFileSource();
  PackedFileSource(const PackedFileSource&) = delete;
  PackedFileSource& operator=(const PackedFileSource&) = delete;

  // A new libzip source reading this file, for `archive`; null with the archive's error
  // set when libzip refuses.
  ZipSourceHandle Create(zip_t* archive);

  // Takes the file's deflated bytes from file `index` of `ahead` instead of deflating it
  // when libzip asks for it.
  void DeflateAheadBy(DeflateAhead& ahead, std::size_t index) {
    ahead_ = &ahead;
    ahead_index_ = index;
  }

  // True once reading the file failed (not counting a cancel).
  bool failed() const { return failed_; }
  const std::filesystem::path& host() const { return host_; }
  std::uint64_t size() const { return size_; }

 private:
  static zip_int64_t Callback(void* state, void* data, zip_uint64_t length,
                              zip_source_cmd_t command);
  zip_int64_t Deflate();
  bool DeflateHere(DeflatedData& deflated);
  bool TakeAhead(DeflatedData& deflated);
  zip_int64_t ReadFile(std::string& data);
  zip_int64_t Open();
  zip_int64_t Read(void* data, zip_uint64_t length);
  zip_int64_t Stat(void* data, zip_uint64_t length);
  zip_int64_t Fail(int code, int system_code);

  PackingProgress& progress_;
  unsigned threads_;
  DeflateAhead* ahead_ = nullptr;
  std::size_t ahead_index_ = 0;
  std::filesystem::path host_;
  std::string name_;
  std::uint64_t size_;
  std::time_t mtime_;
  bool deflated_ = false;
  std::string deflated_bytes_;
  std::uint64_t deflated_size_ = 0;
  std::uint32_t crc_ = 0;
  std::uint64_t position_ = 0;
  zip_error_t error_;
  bool failed_ = false;
};

}  // namespace listelo
