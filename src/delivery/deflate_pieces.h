// Deflate at the highest level, made on several threads for a big file.
//
// Level 9 is what the portals' archives have always carried, and on a stock file of
// many megabytes it is the slowest step of a run. The data is cut into pieces that are
// compressed at once on all processors: each piece after the first is given the 32 KiB
// before it as its dictionary, so that it may refer back across the cut, and every piece
// but the last ends on a byte boundary without closing the stream (zlib's sync flush).
// Joined in order, the pieces are one raw deflate stream that any reader inflates back
// to the data; the cost is a few bytes per piece.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

struct z_stream_s;

namespace listelo {

struct DeflatedData {
  std::string bytes;      // raw deflate stream, no zlib header or trailer
  std::uint32_t crc = 0;  // CRC-32 of the data, as a zip entry records it
};

// How the work goes on while the pieces are made: `advance` hears of each piece done
// (its size in input bytes), `keep_going` is asked between pieces and now and then while
// waiting; when it says no the work stops and nothing is returned. Both are called on the
// caller's thread only.
struct DeflateWatch {
  std::function<void(std::uint64_t bytes)> advance;
  std::function<bool()> keep_going;
};

// Small enough for the progress bar to move and a cancel to be heard within a file.
inline constexpr std::size_t kDeflatePieceSize = 256 * 1024;

// Raw deflate of `data` at level 9, pieces of `piece_size` bytes made on up to `threads`
// threads (the caller's own thread when there is one piece or one thread). Returns false
// when the watch stopped the work.
bool DeflateInPieces(std::string_view data, unsigned threads, const DeflateWatch& watch,
                     DeflatedData& out, std::size_t piece_size = kDeflatePieceSize);

// Raw deflate at level 9 of whole files, one after another through one zlib stream: the
// same bytes as DeflateInPieces gives for data of one piece.
class WholeDeflater {
 public:
  WholeDeflater();
  WholeDeflater(const WholeDeflater&) = delete;
  WholeDeflater& operator=(const WholeDeflater&) = delete;

  // Raises std::bad_alloc when zlib fails.
  DeflatedData Deflate(std::string_view data);

 private:
  struct StreamEnd {
    void operator()(z_stream_s* stream) const;
  };
  std::unique_ptr<z_stream_s, StreamEnd> stream_;
};

}  // namespace listelo
