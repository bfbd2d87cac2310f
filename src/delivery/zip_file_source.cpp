#include "delivery/zip_file_source.h"

#include <cerrno>

#include "app/window_port.h"

namespace listelo {

namespace {
// The sink hears of progress at most once per this many bytes (and at each file's end):
// often enough for a progress bar, rarely enough to cost nothing next to deflate.
constexpr std::uint64_t kReportStep = 256 * 1024;
}  // namespace

PackingProgress::PackingProgress(ProgressSink& sink, WindowPort* window, std::uint64_t total_bytes)
    : sink_(sink), window_(window) {
  sink_.BeginBatch(total_bytes);
  LetEventsRun();
}

PackingProgress::~PackingProgress() { sink_.EndBatch(); }

void PackingProgress::BeginFile(const std::string& name, std::uint64_t size) {
  sink_.BeginFile(name, size);
  LetEventsRun();
}

void PackingProgress::Advance(std::uint64_t bytes) {
  bytes_done_ += bytes;
  if (bytes_done_ - bytes_reported_ >= kReportStep) Flush();
}

void PackingProgress::Flush() {
  if (bytes_done_ == bytes_reported_) return;
  bytes_reported_ = bytes_done_;
  sink_.Progress(bytes_done_);
  LetEventsRun();
}

bool PackingProgress::Cancelled() const { return sink_.Cancelled(); }

int PackingProgress::CancelCallback(zip_t* /*archive*/, void* state) {
  return static_cast<PackingProgress*>(state)->Cancelled() ? 1 : 0;
}

void PackingProgress::LetEventsRun() {
  if (window_ != nullptr) window_->ProcessEvents();
}

PackedFileSource::PackedFileSource(PackingProgress& progress, std::filesystem::path host,
                                   std::string name, std::uint64_t size, std::time_t mtime)
    : progress_(progress),
      host_(std::move(host)),
      name_(std::move(name)),
      size_(size),
      mtime_(mtime) {
  zip_error_init(&error_);
}

PackedFileSource::~PackedFileSource() { zip_error_fini(&error_); }

ZipSourceHandle PackedFileSource::Create(zip_t* archive) {
  return ZipSourceHandle(zip_source_function(archive, &PackedFileSource::Callback, this));
}

zip_int64_t PackedFileSource::Callback(void* state, void* data, zip_uint64_t length,
                                       zip_source_cmd_t command) {
  auto* self = static_cast<PackedFileSource*>(state);
  switch (command) {
    case ZIP_SOURCE_OPEN:
      return self->Open();
    case ZIP_SOURCE_READ:
      return self->Read(data, length);
    case ZIP_SOURCE_CLOSE:
      self->file_.reset();
      self->progress_.Flush();
      return 0;
    case ZIP_SOURCE_STAT:
      return self->Stat(data, length);
    case ZIP_SOURCE_ERROR:
      return zip_error_to_data(&self->error_, data, length);
    case ZIP_SOURCE_FREE:
      return 0;  // the object is owned by the caller of AddFiles
    case ZIP_SOURCE_SUPPORTS:
      return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                            ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default:
      zip_error_set(&self->error_, ZIP_ER_OPNOTSUPP, 0);
      return -1;
  }
}

zip_int64_t PackedFileSource::Open() {
  file_.reset(std::fopen(host_.string().c_str(), "rb"));
  if (!file_) return Fail(ZIP_ER_OPEN, errno);
  remaining_ = size_;
  progress_.BeginFile(name_, size_);
  return 0;
}

// Reads at most the size that was announced, so the entry holds the file as it was
// measured even if it grows meanwhile.
zip_int64_t PackedFileSource::Read(void* data, zip_uint64_t length) {
  if (progress_.Cancelled()) {
    zip_error_set(&error_, ZIP_ER_CANCELLED, 0);
    return -1;
  }
  const size_t wanted = static_cast<size_t>(std::min<zip_uint64_t>(length, remaining_));
  if (wanted == 0) return 0;
  const size_t got = std::fread(data, 1, wanted, file_.get());
  if (got < wanted && std::ferror(file_.get())) return Fail(ZIP_ER_READ, errno);
  if (got == 0) return Fail(ZIP_ER_CHANGED, 0);  // shorter than when it was measured
  remaining_ -= got;
  progress_.Advance(got);
  return static_cast<zip_int64_t>(got);
}

zip_int64_t PackedFileSource::Stat(void* data, zip_uint64_t length) {
  auto* stat = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &error_);
  if (stat == nullptr) return -1;
  zip_stat_init(stat);
  stat->size = size_;
  stat->mtime = mtime_;
  stat->valid |= ZIP_STAT_SIZE | ZIP_STAT_MTIME;
  return sizeof(zip_stat_t);
}

zip_int64_t PackedFileSource::Fail(int code, int system_code) {
  zip_error_set(&error_, code, system_code);
  failed_ = true;
  return -1;
}

}  // namespace listelo
