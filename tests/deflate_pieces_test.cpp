#include <gtest/gtest.h>
#include <zip.h>
#include <zlib.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "delivery/deflate_ahead.h"
#include "delivery/deflate_pieces.h"
#include "support/temp_tree.h"

namespace listelo {
namespace {

// Inflates a raw deflate stream with zlib, as a zip reader does; fails the test when
// the stream is broken or does not end where it should.
std::string Inflate(const std::string& deflated, size_t expected_size) {
  z_stream stream{};
  EXPECT_EQ(inflateInit2(&stream, -MAX_WBITS), Z_OK);
  std::string out(expected_size + 1, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(deflated.data()));
  stream.avail_in = static_cast<uInt>(deflated.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(inflate(&stream, Z_FINISH), Z_STREAM_END);
  EXPECT_EQ(stream.avail_in, 0u) << "bytes after the end of the stream";
  out.resize(stream.total_out);
  inflateEnd(&stream);
  return out;
}

std::uint32_t Crc(const std::string& data) {
  return static_cast<std::uint32_t>(
      crc32_z(0, reinterpret_cast<const Bytef*>(data.data()), data.size()));
}

std::string Random(size_t size) {
  std::mt19937 random(7);
  std::string out(size, '\0');
  for (char& c : out) c = static_cast<char>(random());
  return out;
}

// Lines much alike, as a stock file's are: deflate refers back a lot, across the cuts too.
std::string StockLines(size_t size) {
  std::string out;
  for (int n = 0; out.size() < size; ++n) {
    out += "0123456789;REF-" + std::to_string(n % 977) + ";1;0;0;1;;Diesel;03.2010;" +
           std::to_string(n * 7919 % 200000) + ";\r\n";
  }
  out.resize(size);
  return out;
}

TEST(DeflateInPiecesTest, PiecesJoinIntoOneStreamThatInflatesToTheData) {
  constexpr size_t kPiece = 4096;
  struct Case {
    const char* what;
    std::string data;
    unsigned threads;
  };
  const Case cases[] = {
      {"empty file", "", 4},
      {"smaller than a piece", StockLines(100), 4},
      {"exactly one piece", StockLines(kPiece), 4},
      {"one byte over a piece", StockLines(kPiece + 1), 4},
      {"many pieces, one thread", StockLines(40 * kPiece + 17), 1},
      {"many pieces, four threads", StockLines(40 * kPiece + 17), 4},
      {"photo-like bytes on more threads than pieces", Random(3 * kPiece), 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::uint64_t> advanced;
    const DeflateWatch watch{[&](std::uint64_t bytes) { advanced.push_back(bytes); }, nullptr};
    DeflatedData out;
    ASSERT_TRUE(DeflateInPieces(c.data, c.threads, watch, out, kPiece));
    EXPECT_EQ(Inflate(out.bytes, c.data.size()), c.data);
    EXPECT_EQ(out.crc, Crc(c.data));
    std::uint64_t total = 0;
    for (std::uint64_t bytes : advanced) total += bytes;
    EXPECT_EQ(total, c.data.size());
    EXPECT_EQ(advanced.size(), std::max<size_t>(1, (c.data.size() + kPiece - 1) / kPiece));
  }
}

TEST(DeflateInPiecesTest, CompressesAsWellAsOneStreamNearly) {
  const std::string data = StockLines(2 << 20);
  DeflatedData pieces;
  ASSERT_TRUE(DeflateInPieces(data, 4, {}, pieces));
  uLongf whole_size = compressBound(static_cast<uLong>(data.size()));
  std::string whole(whole_size, '\0');
  ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(whole.data()), &whole_size,
                      reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()),
                      Z_BEST_COMPRESSION),
            Z_OK);
  EXPECT_LT(pieces.bytes.size(), whole_size + whole_size / 50);
}

TEST(DeflateInPiecesTest, TheWatchStopsTheWork) {
  const std::string data = StockLines(64 * 4096);
  for (unsigned threads : {1u, 4u}) {
    SCOPED_TRACE(threads);
    std::uint64_t done = 0;
    const DeflateWatch watch{[&](std::uint64_t bytes) { done += bytes; },
                             [&] { return done < 8 * 4096; }};
    DeflatedData out;
    EXPECT_FALSE(DeflateInPieces(data, threads, watch, out, 4096));
    EXPECT_TRUE(out.bytes.empty());
    EXPECT_LT(done, data.size());
  }
}

// Files read and deflated by the workers come out as one stream each deflated here
// would, whichever order they are taken in, and a file that cannot be read as measured
// says why.
TEST(DeflateAheadTest, EveryFileAsDeflatedAloneOrWhyItFailed) {
  testing::TempTree tree;
  struct Case {
    const char* name;
    std::string data;    // written to the file
    std::uint64_t size;  // as measured before packing
    int zip_error;
    int system_error;
  };
  const std::vector<Case> cases = {
      {"photo.jpg", Random(3000), 3000, 0, 0},
      {"stock.csv", StockLines(200 * 1024), 200 * 1024, 0, 0},
      {"empty.txt", "", 0, 0, 0},
      {"grown.jpg", Random(500), 400, 0, 0},  // taken at its measured size
      {"shrunk.jpg", Random(100), 400, ZIP_ER_CHANGED, 0},
      {"missing.jpg", "", 10, ZIP_ER_OPEN, ENOENT},
  };
  std::vector<DeflateAhead::File> files;
  for (const Case& c : cases) {
    if (c.zip_error != ZIP_ER_OPEN) testing::WriteFile(tree / c.name, c.data);
    files.push_back({tree / c.name, c.size});
  }
  // Taken in order, from the end, and the first one twice (libzip may open a source again).
  const std::vector<std::vector<std::size_t>> orders = {{0, 1, 2, 3, 4, 5}, {5, 4, 3, 2, 1, 0, 0}};
  for (const auto& order : orders) {
    for (unsigned threads : {1u, 2u}) {
      DeflateAhead ahead(files, threads);
      for (std::size_t i : order) {
        const Case& c = cases[i];
        SCOPED_TRACE(std::string(c.name) + ", threads " + std::to_string(threads));
        const DeflatedFile got = ahead.Take(i);
        EXPECT_EQ(got.zip_error, c.zip_error);
        EXPECT_EQ(got.system_error, c.system_error);
        if (c.zip_error != 0) continue;
        const std::string data = c.data.substr(0, c.size);
        WholeDeflater alone;
        EXPECT_EQ(got.data.bytes, alone.Deflate(data).bytes);
        EXPECT_EQ(Inflate(got.data.bytes, data.size()), data);
        EXPECT_EQ(got.data.crc, Crc(data));
      }
    }
  }
  // Workers stopped before they come to every file let go of the rest.
  DeflateAhead untaken(files, 2);
  EXPECT_EQ(untaken.Take(0).zip_error, 0);
}

// What deflates whole files through one stream gives the bytes of a stream made for one
// file alone, for every file after the first as for the first.
TEST(WholeDeflaterTest, OneStreamResetGivesTheBytesOfAFreshOne) {
  WholeDeflater reused;
  for (const std::string& data : {StockLines(70000), Random(5000), std::string(), StockLines(10)}) {
    DeflatedData fresh;
    ASSERT_TRUE(DeflateInPieces(data, 1, {}, fresh, data.size() + 1));
    const DeflatedData got = reused.Deflate(data);
    EXPECT_EQ(got.bytes, fresh.bytes);
    EXPECT_EQ(got.crc, fresh.crc);
  }
}

}  // namespace
}  // namespace listelo
