#include "platform/text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

namespace listelo {
namespace {

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

#ifdef _WIN32

namespace {

// Windows' own tables: UTF-8 to UTF-16, then to code page 1252 without "best fit" (which
// would write "A" for "Ā"), so that a character the code page lacks becomes "?" as on
// other hosts. Texts go in pieces cut between UTF-8 sequences, as the calls count in int.
void AppendUtf8AsAnsi(std::string& out, std::string_view utf8) {
  constexpr size_t kPiece = size_t{1} << 20;
  std::wstring wide;
  while (!utf8.empty()) {
    size_t n = std::min(utf8.size(), kPiece);
    while (n < utf8.size() && n > 0 && (static_cast<unsigned char>(utf8[n]) & 0xC0) == 0x80) --n;
    if (n == 0) n = std::min(utf8.size(), kPiece);
    const int in_size = static_cast<int>(n);
    int wide_size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), in_size, nullptr, 0);
    wide.resize(static_cast<size_t>(wide_size));
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), in_size, wide.data(), wide_size);
    // A character beyond the 16-bit plane is one "?", as on other hosts, not one per half.
    wide.erase(std::unique(wide.begin(), wide.end(),
                           [](wchar_t a, wchar_t b) {
                             return a >= 0xD800 && a <= 0xDBFF && b >= 0xDC00 && b <= 0xDFFF;
                           }),
               wide.end());
    wide_size = static_cast<int>(wide.size());
    const int ansi_size = WideCharToMultiByte(1252, WC_NO_BEST_FIT_CHARS, wide.data(), wide_size,
                                              nullptr, 0, "?", nullptr);
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(ansi_size));
    WideCharToMultiByte(1252, WC_NO_BEST_FIT_CHARS, wide.data(), wide_size, out.data() + at,
                        ansi_size, "?", nullptr);
    utf8.remove_prefix(n);
  }
}

std::string ConvertUtf8ToAnsi(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  AppendUtf8AsAnsi(out, utf8);
  return out;
}

void ConvertUtf8ToAnsiInPlace(std::string& text) { text = ConvertUtf8ToAnsi(text); }

}  // namespace

#else

namespace {

// Length of the UTF-8 sequence that starts with `lead`, 1 for a byte that cannot start one.
size_t Utf8SequenceLength(unsigned char lead) {
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
  if (lead >= 0xC2) return 2;
  return 1;
}

// The Windows-1252 byte of code point `cp`, or -1 when the code page lacks it. The C1
// controls that stand for the five bytes Windows-1252 leaves undefined come back as those
// bytes.
int AnsiByteOf(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  if (cp <= 0x9F) return kHighControls[cp - 0x80] == 0 ? static_cast<int>(cp) : -1;
  const auto it = std::find(kHighControls.begin(), kHighControls.end(), cp);
  return it == kHighControls.end() ? -1 : 0x80 + static_cast<int>(it - kHighControls.begin());
}

// The code point of the well-formed UTF-8 sequence of `length` bytes at `seq` (`left`
// bytes remaining), or -1 for a sequence cut short, a byte that does not continue it, an
// over-long form, a surrogate or a value beyond U+10FFFF.
long DecodeUtf8(const unsigned char* seq, size_t left, size_t length) {
  if (length < 2 || length > left) return -1;
  char32_t cp = seq[0] & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    if ((seq[k] & 0xC0) != 0x80) return -1;
    cp = (cp << 6) | (seq[k] & 0x3F);
  }
  static constexpr char32_t kLowest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kLowest[length] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return -1;
  return static_cast<long>(cp);
}

// One look-up per character. Anything that does not convert, a character the code page
// lacks or a malformed sequence, becomes one "?" for the length its first byte announces.
// Writes to `out`, which may be `utf8` itself: a character never takes more bytes in
// Windows-1252 than in UTF-8. Returns the number of bytes written.
size_t WriteUtf8AsAnsi(const unsigned char* utf8, size_t size, char* out) {
  size_t written = 0;
  size_t i = 0;
  while (i < size) {
    const unsigned char lead = utf8[i];
    if (lead < 0x80) {
      out[written++] = static_cast<char>(lead);
      ++i;
      continue;
    }
    const size_t length = Utf8SequenceLength(lead);
    const long cp = DecodeUtf8(utf8 + i, size - i, length);
    const int ansi = cp < 0 ? -1 : AnsiByteOf(static_cast<char32_t>(cp));
    out[written++] = ansi < 0 ? '?' : static_cast<char>(ansi);
    i += std::min(length, size - i);
  }
  return written;
}

std::string ConvertUtf8ToAnsi(std::string_view utf8) {
  std::string out(utf8.size(), '\0');
  out.resize(WriteUtf8AsAnsi(reinterpret_cast<const unsigned char*>(utf8.data()), utf8.size(),
                             out.data()));
  return out;
}

void ConvertUtf8ToAnsiInPlace(std::string& text) {
  text.resize(WriteUtf8AsAnsi(reinterpret_cast<const unsigned char*>(text.data()), text.size(),
                              text.data()));
}

}  // namespace

#endif  // _WIN32

namespace {

// The position of the first byte at or after `from` that is not plain ASCII, or the size
// of the text; eight bytes are looked at a time.
size_t NextHighByte(std::string_view text, size_t from) {
  constexpr uint64_t kHighBits = 0x8080808080808080u;
  while (from + sizeof(uint64_t) <= text.size()) {
    uint64_t word;
    std::memcpy(&word, text.data() + from, sizeof word);
    if ((word & kHighBits) != 0) break;
    from += sizeof word;
  }
  while (from < text.size() && static_cast<unsigned char>(text[from]) < 0x80) ++from;
  return from;
}

// Names, paths and most values are plain ASCII, which both encodings write alike.
bool IsAscii(std::string_view text) { return NextHighByte(text, 0) == text.size(); }

}  // namespace

std::string Utf8ToAnsi(std::string_view utf8) {
  return IsAscii(utf8) ? std::string(utf8) : ConvertUtf8ToAnsi(utf8);
}

void Utf8ToAnsiInPlace(std::string& text) {
  if (!IsAscii(text)) ConvertUtf8ToAnsiInPlace(text);
}

namespace {

// The UTF-8 form of every Windows-1252 byte: one look-up per byte of a document.
struct Utf8Table {
  struct Form {
    unsigned char size;
    char bytes[3];
  };
  std::array<Form, 256> forms;
  Utf8Table() {
    for (int b = 0; b < 256; ++b) {
      const char32_t cp = AnsiToCodePoint(static_cast<unsigned char>(b));
      Form& form = forms[static_cast<size_t>(b)];
      if (cp < 0x80) {
        form = {1, {static_cast<char>(cp), 0, 0}};
      } else if (cp < 0x800) {
        form = {2, {static_cast<char>(0xC0 | (cp >> 6)), static_cast<char>(0x80 | (cp & 0x3F)), 0}};
      } else {
        form = {3,
                {static_cast<char>(0xE0 | (cp >> 12)), static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
                 static_cast<char>(0x80 | (cp & 0x3F))}};
      }
    }
  }
};

const Utf8Table& Utf8Forms() {
  static const Utf8Table table;
  return table;
}

}  // namespace

void AppendAnsiAsUtf8(std::string& out, std::string_view ansi) {
  // The runs of plain ASCII between the other bytes are copied whole.
  const std::array<Utf8Table::Form, 256>& forms = Utf8Forms().forms;
  out.reserve(out.size() + ansi.size());
  size_t at = 0;
  for (;;) {
    const size_t high = NextHighByte(ansi, at);
    out.append(ansi.data() + at, high - at);
    if (high == ansi.size()) return;
    const Utf8Table::Form& form = forms[static_cast<unsigned char>(ansi[high])];
    out.append(form.bytes, form.size);
    at = high + 1;
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

void AnsiReplaceEachIgnoreCase(std::string_view text,
                               const std::vector<TextReplacement>& replacements, std::string& out) {
  out.clear();
  out.reserve(text.size());
  const std::array<char, 256>& upper = Upper().map;
  std::vector<TextReplacement> patterns;  // upper-cased
  for (const TextReplacement& r : replacements) {
    if (r.from.empty() || r.from[0] != replacements.front().from[0]) continue;
    patterns.push_back({AnsiUpperCase(r.from), r.to});
  }
  if (patterns.empty() || AnsiLowerChar(patterns[0].from[0]) != patterns[0].from[0]) {
    out.append(text);
    return;
  }
  const char first = patterns[0].from[0];
  const auto matches_at = [&](size_t at, const std::string& pattern) {
    if (text.size() - at < pattern.size()) return false;
    for (size_t k = 1; k < pattern.size(); ++k) {
      if (upper[static_cast<unsigned char>(text[at + k])] != pattern[k]) return false;
    }
    return true;
  };
  size_t pos = 0;  // text before it is in `out`
  size_t at = 0;
  while (at < text.size()) {
    const void* hit = std::memchr(text.data() + at, first, text.size() - at);
    if (hit == nullptr) break;
    at = static_cast<size_t>(static_cast<const char*>(hit) - text.data());
    const auto match =
        std::find_if(patterns.begin(), patterns.end(),
                     [&](const TextReplacement& p) { return matches_at(at, p.from); });
    if (match == patterns.end()) {
      ++at;
      continue;
    }
    out.append(text.substr(pos, at - pos));
    out.append(match->to);
    at += match->from.size();
    pos = at;
  }
  out.append(text.substr(pos));
}

std::string AnsiReplaceAllIgnoreCase(std::string_view text, std::string_view from,
                                     std::string_view to) {
  std::string out;
  AnsiReplaceAllIgnoreCase(text, from, to, out);
  return out;
}

void ReplaceAll(std::string_view text, std::string_view from, std::string_view to,
                std::string& out) {
  out.clear();
  if (from.empty()) {
    out.assign(text);
    return;
  }
  out.reserve(text.size());
  size_t pos = 0;
  for (size_t hit = text.find(from); hit != std::string_view::npos; hit = text.find(from, pos)) {
    out.append(text.substr(pos, hit - pos));
    out.append(to);
    pos = hit + from.size();
  }
  out.append(text.substr(pos));
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string out;
  ReplaceAll(text, from, to, out);
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
