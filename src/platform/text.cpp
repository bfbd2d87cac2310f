#include "platform/text.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace listelo {
namespace {

// One conversion descriptor per call keeps the functions re-entrant; opening one is
// cheap next to the documents that pass through it.
struct IconvCloser {
  void operator()(iconv_t cd) const { iconv_close(cd); }
};
using IconvHandle = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

IconvHandle OpenIconv(const char* to, const char* from) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    throw std::runtime_error(std::string("No text conversion from ") + from + " to " + to);
  }
  return IconvHandle(cd);
}

// Length of the UTF-8 sequence that starts with `lead`, 1 for a byte that cannot start one.
size_t Utf8SequenceLength(unsigned char lead) {
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
  if (lead >= 0xC2) return 2;
  return 1;
}

// Runs iconv over `in`, calling `on_bad` whenever the input holds a sequence that
// cannot be converted; `on_bad` appends its replacement and returns how many input
// bytes to skip.
template <typename OnBad>
std::string Convert(iconv_t cd, std::string_view in, OnBad on_bad) {
  std::string out;
  out.reserve(in.size() + in.size() / 8 + 16);
  char* src = const_cast<char*>(in.data());
  size_t src_left = in.size();
  std::array<char, 16384> buffer;
  while (src_left > 0) {
    char* dst = buffer.data();
    size_t dst_left = buffer.size();
    size_t rc = iconv(cd, &src, &src_left, &dst, &dst_left);
    out.append(buffer.data(), buffer.size() - dst_left);
    if (rc != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL (a sequence cut short at the end): replace and go on.
    size_t skip = on_bad(out, reinterpret_cast<const unsigned char*>(src), src_left);
    src += skip;
    src_left -= skip;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  return out;
}

// Code points of 0x80..0x9F; 0 marks the five bytes that are not defined.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char UpperCaseOf(char ch);

}  // namespace

char32_t AnsiToCodePoint(unsigned char c) {
  if (c >= 0x80 && c <= 0x9F && kHighControls[c - 0x80] != 0) return kHighControls[c - 0x80];
  return c;
}

std::string Utf8ToAnsi(std::string_view utf8) {
  bool ascii = true;
  for (unsigned char c : utf8) {
    if (c >= 0x80) {
      ascii = false;
      break;
    }
  }
  if (ascii) return std::string(utf8);
  IconvHandle cd = OpenIconv("CP1252", "UTF-8");
  return Convert(cd.get(), utf8, [](std::string& out, const unsigned char* seq, size_t left) {
    size_t n = Utf8SequenceLength(seq[0]);
    if (n > left) n = left;
    // The C1 controls that stand for the bytes Windows-1252 leaves undefined come back
    // as those bytes; iconv has no mapping for them.
    if (n == 2 && seq[0] == 0xC2 && seq[1] >= 0x80 && seq[1] <= 0x9F &&
        AnsiToCodePoint(seq[1]) == seq[1]) {
      out.push_back(static_cast<char>(seq[1]));
    } else {
      out.push_back('?');
    }
    return n;
  });
}

void AppendAnsiAsUtf8(std::string& out, std::string_view ansi) {
  // Names, paths and most values are plain ASCII, which both encodings write alike.
  const auto first_high =
      std::find_if(ansi.begin(), ansi.end(), [](unsigned char c) { return c >= 0x80; });
  out.append(ansi.begin(), first_high);
  if (first_high == ansi.end()) return;
  out.reserve(out.size() + ansi.size() + ansi.size() / 8);
  for (unsigned char c : ansi.substr(static_cast<size_t>(first_high - ansi.begin()))) {
    char32_t cp = AnsiToCodePoint(c);
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
}

std::string AnsiToUtf8(std::string_view ansi) {
  std::string out;
  AppendAnsiAsUtf8(out, ansi);
  return out;
}

namespace {

// Upper-casing runs over whole serialised documents many times per run: one table look-up
// per byte.
struct UpperTable {
  std::array<char, 256> map;
  UpperTable() {
    for (int i = 0; i < 256; ++i) map[i] = UpperCaseOf(static_cast<char>(i));
  }
};

const UpperTable& Upper() {
  static const UpperTable table;
  return table;
}

char UpperCaseOf(char ch) {
  auto c = static_cast<unsigned char>(ch);
  if (c >= 'a' && c <= 'z') return static_cast<char>(c - 0x20);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char>(c - 0x20);
  switch (c) {
    case 0x9A:
      return static_cast<char>(0x8A);  // š
    case 0x9C:
      return static_cast<char>(0x8C);  // œ
    case 0x9E:
      return static_cast<char>(0x8E);  // ž
    case 0xFF:
      return static_cast<char>(0x9F);  // ÿ
    default:
      return ch;
  }
}

}  // namespace

char AnsiUpperChar(char ch) { return Upper().map[static_cast<unsigned char>(ch)]; }

char AnsiLowerChar(char ch) {
  auto c = static_cast<unsigned char>(ch);
  if (c >= 'A' && c <= 'Z') return static_cast<char>(c + 0x20);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char>(c + 0x20);
  switch (c) {
    case 0x8A:
      return static_cast<char>(0x9A);
    case 0x8C:
      return static_cast<char>(0x9C);
    case 0x8E:
      return static_cast<char>(0x9E);
    case 0x9F:
      return static_cast<char>(0xFF);
    default:
      return ch;
  }
}

std::string AnsiUpperCase(std::string_view text) {
  const UpperTable& table = Upper();
  std::string out(text.size(), '\0');
  for (size_t i = 0; i < text.size(); ++i) out[i] = table.map[static_cast<unsigned char>(text[i])];
  return out;
}

std::string AnsiLowerCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AnsiLowerChar(c);
  return out;
}

bool AnsiSameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AnsiUpperChar(a[i]) != AnsiUpperChar(b[i])) return false;
  }
  return true;
}

namespace {

// Position of the first match of `upper_pattern` (already upper-cased, not empty) in
// `text` at or after `from`, ignoring letter case; npos when none. The text is not
// copied: candidates for the first character are found with memchr when that character
// has a single form (as "<" of the markup patterns has), else by a table scan.
size_t FindIgnoringCase(std::string_view text, std::string_view upper_pattern, size_t from) {
  const std::array<char, 256>& upper = Upper().map;
  const size_t m = upper_pattern.size();
  if (text.size() < m) return std::string_view::npos;
  const size_t last = text.size() - m;
  const char first = upper_pattern[0];
  const bool single_form = AnsiLowerChar(first) == first;
  const auto matches_at = [&](size_t i) {
    for (size_t k = 1; k < m; ++k) {
      if (upper[static_cast<unsigned char>(text[i + k])] != upper_pattern[k]) return false;
    }
    return true;
  };
  size_t i = from;
  while (i <= last) {
    if (single_form) {
      const void* hit = std::memchr(text.data() + i, first, last - i + 1);
      if (hit == nullptr) return std::string_view::npos;
      i = static_cast<size_t>(static_cast<const char*>(hit) - text.data());
    } else if (upper[static_cast<unsigned char>(text[i])] != first) {
      ++i;
      continue;
    }
    if (matches_at(i)) return i;
    ++i;
  }
  return std::string_view::npos;
}

}  // namespace

void AnsiReplaceAllIgnoreCase(std::string_view text, std::string_view from, std::string_view to,
                              std::string& out) {
  out.clear();
  if (from.empty()) {
    out.append(text);
    return;
  }
  const std::string upper_from = AnsiUpperCase(from);
  out.reserve(text.size());
  size_t pos = 0;
  for (size_t hit = FindIgnoringCase(text, upper_from, 0); hit != std::string_view::npos;
       hit = FindIgnoringCase(text, upper_from, pos)) {
    out.append(text.substr(pos, hit - pos));
    out.append(to);
    pos = hit + from.size();
  }
  out.append(text.substr(pos));
}

std::string AnsiReplaceAllIgnoreCase(std::string_view text, std::string_view from,
                                     std::string_view to) {
  std::string out;
  AnsiReplaceAllIgnoreCase(text, from, to, out);
  return out;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  for (size_t hit = text.find(from); hit != std::string_view::npos; hit = text.find(from, pos)) {
    out.append(text.substr(pos, hit - pos));
    out.append(to);
    pos = hit + from.size();
  }
  out.append(text.substr(pos));
  return out;
}

std::string AnsiReplaceFirstIgnoreCase(std::string_view text, std::string_view from,
                                       std::string_view to) {
  const size_t hit =
      from.empty() ? std::string_view::npos : FindIgnoringCase(text, AnsiUpperCase(from), 0);
  if (hit == std::string_view::npos) return std::string(text);
  std::string out(text.substr(0, hit));
  out.append(to);
  out.append(text.substr(hit + from.size()));
  return out;
}

bool Contains(std::string_view text, std::string_view needle) {
  return !needle.empty() && text.find(needle) != std::string_view::npos;
}

bool AnsiContainsIgnoreCase(std::string_view text, std::string_view needle) {
  return !needle.empty() &&
         FindIgnoringCase(text, AnsiUpperCase(needle), 0) != std::string_view::npos;
}

std::string_view TrimBlanks(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  return text.substr(begin, end - begin);
}

}  // namespace listelo
