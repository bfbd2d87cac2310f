#include "delivery/zip_wildcard.h"

#include <algorithm>
#include <vector>

#include "platform/paths.h"
#include "platform/text.h"

namespace listelo {
namespace {

// Windows rewrites a pattern before matching: a "*" in front of a dot only runs up to
// the name's last dot, every "?" may stand for nothing before a dot or the end, and a
// dot in front of a wildcard (or at the end) also matches the end of a dotless name.
enum class Kind { kChar, kStar, kStarToLastDot, kQuestion, kDotOrEnd };

struct Token {
  Kind kind;
  char c = 0;
};

std::vector<Token> Compile(std::string_view pattern) {
  std::vector<Token> tokens;
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
    if (c == '?') {
      tokens.push_back({Kind::kQuestion});
    } else if (c == '*') {
      tokens.push_back({next == '.' ? Kind::kStarToLastDot : Kind::kStar});
    } else if (c == '.' && (next == '\0' || next == '*' || next == '?')) {
      tokens.push_back({Kind::kDotOrEnd});
    } else {
      tokens.push_back({Kind::kChar, AnsiUpperChar(c)});
    }
  }
  return tokens;
}

// Matching by dynamic programming over (token, position): linear in pattern × name, so
// no pattern can make it backtrack without end.
class Matcher {
 public:
  Matcher(std::vector<Token> tokens, std::string_view name)
      : tokens_(std::move(tokens)),
        name_(name),
        last_dot_(name.rfind('.')),
        memo_((tokens_.size() + 1) * (name.size() + 1), kUnknown) {}

  bool Match(size_t t, size_t n) {
    signed char& slot = memo_[t * (name_.size() + 1) + n];
    if (slot == kUnknown) slot = Compute(t, n) ? 1 : 0;
    return slot == 1;
  }

 private:
  static constexpr signed char kUnknown = -1;

  bool Compute(size_t t, size_t n) {
    if (t == tokens_.size()) return n == name_.size();
    const bool at_end = n == name_.size();
    switch (tokens_[t].kind) {
      case Kind::kStar:
        return Match(t + 1, n) || (!at_end && Match(t, n + 1));
      case Kind::kStarToLastDot:
        // May not swallow the last dot of the name.
        return Match(t + 1, n) || (!at_end && n != last_dot_ && Match(t, n + 1));
      case Kind::kQuestion:
        if (at_end || name_[n] == '.') return Match(t + 1, n);
        return Match(t + 1, n + 1);
      case Kind::kDotOrEnd:
        if (at_end) return Match(t + 1, n);
        return name_[n] == '.' && Match(t + 1, n + 1);
      case Kind::kChar:
        return !at_end && AnsiUpperChar(name_[n]) == tokens_[t].c && Match(t + 1, n + 1);
    }
    return false;
  }

  std::vector<Token> tokens_;
  std::string_view name_;
  size_t last_dot_;
  std::vector<signed char> memo_;
};

}  // namespace

bool HasWildcards(std::string_view pattern) {
  return pattern.find_first_of("*?") != std::string_view::npos;
}

bool MatchesWindowsPattern(std::string_view pattern, std::string_view name) {
  if (pattern == "*.*" || pattern == "*") return true;
  return Matcher(Compile(pattern), name).Match(0, 0);
}

std::vector<std::filesystem::path> ListMatchingFiles(const std::filesystem::path& folder,
                                                     std::string_view pattern) {
  namespace fs = std::filesystem;
  std::vector<fs::path> matches;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code type_ec;
    if (it->is_regular_file(type_ec) &&
        MatchesWindowsPattern(pattern, PathMapper::ToText(it->path().filename()))) {
      matches.push_back(it->path());
    }
  }
  // The names of one folder, in the order of their text: the same order as comparing the
  // paths, without taking each path apart into its components at every comparison.
  std::sort(matches.begin(), matches.end(),
            [](const fs::path& a, const fs::path& b) { return a.native() < b.native(); });
  return matches;
}

}  // namespace listelo
