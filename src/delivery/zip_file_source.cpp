#include "delivery/zip_file_source.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "app/window_port.h"
#include "delivery/deflate_ahead.h"
#include "delivery/deflate_pieces.h"

namespace listelo {

namespace {
// General-purpose flag bits 1 and 2 of a deflated entry tell how hard it was compressed;
// the entries say "maximum", as libzip's own level 9 does.
constexpr zip_uint16_t kCompressionOptionBits = 0x0006;
constexpr zip_uint16_t kMaximumCompressionBits = 0x0002;

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

PackedFileSource::PackedFileSource(PackingProgress& progress, unsigned threads,
                                   std::filesystem::path host, std::string name, std::uint64_t size,
                                   std::time_t mtime)
    : progress_(progress),
      threads_(threads),
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
      std::string().swap(self->deflated_bytes_);
      return 0;
    case ZIP_SOURCE_STAT:
      return self->Stat(data, length);
    case ZIP_SOURCE_GET_FILE_ATTRIBUTES: {
      auto* attributes = ZIP_SOURCE_GET_ARGS(zip_file_attributes_t, data, length, &self->error_);
      if (attributes == nullptr) return -1;
      attributes->valid |= ZIP_FILE_ATTRIBUTES_GENERAL_PURPOSE_BIT_FLAGS;
      attributes->general_purpose_bit_flags = kMaximumCompressionBits;
      attributes->general_purpose_bit_mask = kCompressionOptionBits;
      return 0;
    }
    case ZIP_SOURCE_ERROR:
      return zip_error_to_data(&self->error_, data, length);
    case ZIP_SOURCE_FREE:
      return 0;  // the object is owned by the caller of AddFiles
    case ZIP_SOURCE_SUPPORTS:
      return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                            ZIP_SOURCE_STAT, ZIP_SOURCE_GET_FILE_ATTRIBUTES,
                                            ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default:
      zip_error_set(&self->error_, ZIP_ER_OPNOTSUPP, 0);
      return -1;
  }
}

zip_int64_t PackedFileSource::ReadFile(std::string& data) {
  int system_error = 0;
  const int zip_error = ReadMeasuredFile(host_, size_, data, system_error);
  return zip_error == 0 ? 0 : Fail(zip_error, system_error);
}

// The file deflated, once: libzip asks for its sizes and checksum before it copies it.
zip_int64_t PackedFileSource::Deflate() {
  if (deflated_) return 0;
  progress_.BeginFile(name_, size_);
  DeflatedData deflated;
  if (ahead_ != nullptr) {
    if (!TakeAhead(deflated)) return -1;
  } else if (!DeflateHere(deflated)) {
    return -1;
  }
  progress_.Flush();
  deflated_bytes_ = std::move(deflated.bytes);
  deflated_size_ = deflated_bytes_.size();
  crc_ = deflated.crc;
  deflated_ = true;
  return 0;
}

bool PackedFileSource::DeflateHere(DeflatedData& deflated) {
  std::string data;
  if (ReadFile(data) != 0) return false;
  const DeflateWatch watch{[this](std::uint64_t bytes) { progress_.Advance(bytes); },
                           [this] { return !progress_.Cancelled(); }};
  // Nothing may escape into libzip, which calls this from C.
  try {
    if (!DeflateInPieces(data, threads_, watch, deflated)) {
      zip_error_set(&error_, ZIP_ER_CANCELLED, 0);
      return false;
    }
  } catch (const std::bad_alloc&) {
    Fail(ZIP_ER_MEMORY, 0);
    return false;
  } catch (...) {  // no thread to be had, or the window failing while it was let run
    Fail(ZIP_ER_INTERNAL, 0);
    return false;
  }
  return true;
}

// A file of one piece, deflated by the workers: the window hears of it as of a piece
// deflated here, and a cancel is heard before it is taken.
bool PackedFileSource::TakeAhead(DeflatedData& deflated) {
  if (progress_.Cancelled()) {
    zip_error_set(&error_, ZIP_ER_CANCELLED, 0);
    return false;
  }
  DeflatedFile file = ahead_->Take(ahead_index_);
  if (file.zip_error != 0) {
    Fail(file.zip_error, file.system_error);
    return false;
  }
  progress_.Advance(size_);
  deflated = std::move(file.data);
  return true;
}

zip_int64_t PackedFileSource::Open() {
  // The bytes are let go when libzip closes the source (a deflate stream is never empty):
  // should it open it again, the file is deflated again rather than handed over empty.
  if (deflated_ && deflated_bytes_.empty()) deflated_ = false;
  if (Deflate() != 0) return -1;
  position_ = 0;
  return 0;
}

zip_int64_t PackedFileSource::Read(void* data, zip_uint64_t length) {
  if (progress_.Cancelled()) {
    zip_error_set(&error_, ZIP_ER_CANCELLED, 0);
    return -1;
  }
  const size_t wanted =
      static_cast<size_t>(std::min<zip_uint64_t>(length, deflated_bytes_.size() - position_));
  std::memcpy(data, deflated_bytes_.data() + position_, wanted);
  position_ += wanted;
  return static_cast<zip_int64_t>(wanted);
}

zip_int64_t PackedFileSource::Stat(void* data, zip_uint64_t length) {
  auto* stat = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &error_);
  if (stat == nullptr) return -1;
  if (Deflate() != 0) return -1;
  zip_stat_init(stat);
  stat->size = size_;
  stat->mtime = mtime_;
  stat->comp_size = deflated_size_;
  stat->comp_method = ZIP_CM_DEFLATE;
  stat->crc = crc_;
  stat->valid |=
      ZIP_STAT_SIZE | ZIP_STAT_MTIME | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_CRC;
  return sizeof(zip_stat_t);
}

zip_int64_t PackedFileSource::Fail(int code, int system_code) {
  zip_error_set(&error_, code, system_code);
  failed_ = true;
  return -1;
}

}  // namespace listelo
