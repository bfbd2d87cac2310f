#include "delivery/deflate_pieces.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <utility>
#include <vector>

namespace listelo {

namespace {

// How far back deflate may refer: the dictionary a piece starts with.
constexpr std::size_t kWindowSize = 32 * 1024;

// How often the caller's thread looks at the watch while the pieces are being made.
constexpr auto kWatchInterval = std::chrono::milliseconds(50);

struct DeflateEnd {
  void operator()(z_stream* stream) const { deflateEnd(stream); }
};

void InitStream(z_stream& stream) {
  if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) !=
      Z_OK) {
    throw std::bad_alloc();
  }
}

// `piece` through a stream made ready for it: the last piece closes the stream, the
// others end with a sync flush.
std::string RunStream(z_stream& stream, std::string_view piece, bool last) {
  // Room for the worst case and the sync marker; the loop grows it should that be short.
  std::string out(deflateBound(&stream, static_cast<uLong>(piece.size())) + 64, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
  stream.avail_in = static_cast<uInt>(piece.size());
  std::size_t produced = 0;
  for (;;) {
    stream.next_out = reinterpret_cast<Bytef*>(out.data() + produced);
    stream.avail_out = static_cast<uInt>(out.size() - produced);
    const int result = deflate(&stream, last ? Z_FINISH : Z_SYNC_FLUSH);
    produced = out.size() - stream.avail_out;
    if (result == Z_STREAM_END) break;
    if (result != Z_OK && result != Z_BUF_ERROR) throw std::bad_alloc();
    if (!last && stream.avail_in == 0 && stream.avail_out != 0) break;
    if (stream.avail_out == 0) out.resize(out.size() * 2);
  }
  out.resize(produced);
  return out;
}

std::uint32_t Crc32(std::string_view data) {
  return static_cast<std::uint32_t>(
      crc32_z(crc32_z(0, Z_NULL, 0), reinterpret_cast<const Bytef*>(data.data()), data.size()));
}

// One piece as raw deflate at level 9, starting from `dictionary`.
std::string DeflatePiece(std::string_view piece, std::string_view dictionary, bool last) {
  z_stream stream{};
  InitStream(stream);
  std::unique_ptr<z_stream, DeflateEnd> owner(&stream);
  if (!dictionary.empty() &&
      deflateSetDictionary(&stream, reinterpret_cast<const Bytef*>(dictionary.data()),
                           static_cast<uInt>(dictionary.size())) != Z_OK) {
    throw std::bad_alloc();
  }
  return RunStream(stream, piece, last);
}

// The pieces of `data` and what each starts with.
class Pieces {
 public:
  Pieces(std::string_view data, std::size_t piece_size)
      : data_(data),
        piece_size_(piece_size),
        count_(std::max<std::size_t>(1, (data.size() + piece_size - 1) / piece_size)),
        out_(count_) {}

  std::size_t count() const { return count_; }
  std::uint64_t SizeOf(std::size_t i) const { return Input(i).size(); }

  void Make(std::size_t i) {
    const std::size_t start = i * piece_size_;
    const std::size_t from = start > kWindowSize ? start - kWindowSize : 0;
    out_[i] = DeflatePiece(Input(i), data_.substr(from, start - from), i + 1 == count_);
  }

  std::string Joined() {
    std::size_t total = 0;
    for (const std::string& piece : out_) total += piece.size();
    std::string joined;
    joined.reserve(total);
    for (std::string& piece : out_) {
      joined += piece;
      std::string().swap(piece);
    }
    return joined;
  }

 private:
  std::string_view Input(std::size_t i) const {
    return data_.substr(std::min(i * piece_size_, data_.size()), piece_size_);
  }

  std::string_view data_;
  std::size_t piece_size_;
  std::size_t count_;
  std::vector<std::string> out_;
};

// Tells the watch of `bytes` more done (none: only asks it); whether to go on.
bool Watched(const DeflateWatch& watch, std::uint64_t bytes) {
  if (bytes > 0 && watch.advance) watch.advance(bytes);
  return !watch.keep_going || watch.keep_going();
}

// The pieces shared out among worker threads, the caller's thread watching.
bool MakeOnThreads(Pieces& pieces, unsigned threads, const DeflateWatch& watch) {
  std::mutex mutex;
  std::condition_variable changed;
  std::size_t next = 0;
  std::size_t done = 0;
  std::vector<std::uint64_t> unreported;  // sizes of the pieces done since the last look
  bool stop = false;
  std::exception_ptr error;

  auto work = [&] {
    for (;;) {
      std::size_t i;
      {
        std::lock_guard lock(mutex);
        if (stop || next == pieces.count()) return;
        i = next++;
      }
      try {
        pieces.Make(i);
      } catch (...) {
        std::lock_guard lock(mutex);
        if (!error) error = std::current_exception();
        stop = true;
        changed.notify_all();
        return;
      }
      std::lock_guard lock(mutex);
      ++done;
      unreported.push_back(pieces.SizeOf(i));
      changed.notify_all();
    }
  };

  bool stopped_by_watch = false;
  {
    std::vector<std::jthread> workers;
    for (unsigned t = 0; t < std::min<std::size_t>(threads, pieces.count()); ++t) {
      workers.emplace_back(work);
    }
    std::unique_lock lock(mutex);
    while (done < pieces.count() && !stop) {
      changed.wait_for(lock, kWatchInterval);
      const std::vector<std::uint64_t> sizes = std::exchange(unreported, {});
      lock.unlock();
      bool keep_going = Watched(watch, sizes.empty() ? 0 : sizes.front());
      for (std::size_t k = 1; k < sizes.size() && keep_going; ++k) {
        keep_going = Watched(watch, sizes[k]);
      }
      lock.lock();
      if (!keep_going) stopped_by_watch = stop = true;
    }
  }  // the workers finish the piece they hold, and are joined
  if (error) std::rethrow_exception(error);
  if (stopped_by_watch) return false;
  // The pieces may all be done before the watch heard of the last ones: it still hears of
  // each, and may still stop the work, whatever the threads' timing.
  for (std::uint64_t size : unreported) {
    if (!Watched(watch, size)) return false;
  }
  return true;
}

}  // namespace

bool DeflateInPieces(std::string_view data, unsigned threads, const DeflateWatch& watch,
                     DeflatedData& out, std::size_t piece_size) {
  Pieces pieces(data, piece_size);
  if (pieces.count() == 1 || threads <= 1) {
    for (std::size_t i = 0; i < pieces.count(); ++i) {
      if (watch.keep_going && !watch.keep_going()) return false;
      pieces.Make(i);
      if (watch.advance) watch.advance(pieces.SizeOf(i));
    }
  } else if (!MakeOnThreads(pieces, threads, watch)) {
    return false;
  }
  out.crc = Crc32(data);
  out.bytes = pieces.Joined();
  return true;
}

void WholeDeflater::StreamEnd::operator()(z_stream* stream) const {
  deflateEnd(stream);
  delete stream;
}

WholeDeflater::WholeDeflater() {
  auto stream = std::make_unique<z_stream>();
  InitStream(*stream);
  stream_.reset(stream.release());
}

DeflatedData WholeDeflater::Deflate(std::string_view data) {
  // Reset rather than made anew: zlib's level-9 state is a quarter of a megabyte, which
  // costs more to allocate and clear than a photo of a few kilobytes costs to deflate.
  if (deflateReset(stream_.get()) != Z_OK) throw std::bad_alloc();
  DeflatedData out;
  out.bytes = RunStream(*stream_, data, /*last=*/true);
  out.crc = Crc32(data);
  return out;
}

}  // namespace listelo
