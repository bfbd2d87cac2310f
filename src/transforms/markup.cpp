#include "transforms/markup.h"

#include <algorithm>

#include "platform/text.h"

namespace listelo {
namespace {

// The text under rewrite is kept as `out_` (what lies before the last removal,
// rewritten) followed by the untouched rest of the original text, `text_` from `in_` on.
// Positions below are positions in that concatenation. Each removal only changes the
// concatenation at and after the start marker it found, so the next search for a start
// marker can begin where one could straddle that place: text before it held none. That
// keeps every search of the original text moving forwards.
class SpanRemover {
 public:
  // Writes the result into `out`, whose storage is reused.
  SpanRemover(std::string_view text, std::string_view start_marker, std::string_view end_marker,
              std::string_view replacement, std::string& out)
      : text_(text), start_(start_marker), end_(end_marker), replacement_(replacement), out_(out) {
    out_.clear();
    out_.reserve(text.size());
  }

  void Run() {
    size_t from = 0;  // no start marker begins before this position
    for (;;) {
      const size_t start = Find(start_, from);
      if (start == kNone) break;
      const size_t end = Find(end_, start);
      if (end == kNone) break;
      if (!Replace(start, end + end_.size())) break;
      from = start - std::min(start, start_.size() - 1);
    }
    out_.append(text_.substr(in_));
  }

 private:
  static constexpr size_t kNone = std::string_view::npos;
  static constexpr int kSelfFedLimit = 1000;

  // The first occurrence of `marker` that begins at or after `from`.
  size_t Find(std::string_view marker, size_t from) const {
    const size_t seam = out_.size();
    if (from < seam) {
      // Occurrences inside out_ come before those that straddle the seam.
      if (size_t hit = out_.find(marker, from); hit != std::string::npos) return hit;
      const size_t first = std::max(from, seam - std::min(seam, marker.size() - 1));
      for (size_t at = first; at < seam; ++at) {
        if (StraddlesAt(marker, at)) return at;
      }
      from = seam;
    }
    const size_t hit = text_.find(marker, in_ + (from - seam));
    return hit == kNone ? kNone : hit - in_ + seam;
  }

  // Whether `marker` begins at `at` (inside out_) and runs on into the rest.
  bool StraddlesAt(std::string_view marker, size_t at) const {
    const size_t in_out = out_.size() - at;
    if (in_ + (marker.size() - in_out) > text_.size()) return false;
    return out_.compare(at, in_out, marker.substr(0, in_out)) == 0 &&
           text_.substr(in_, marker.size() - in_out) == marker.substr(in_out);
  }

  // Replaces [begin, end) by the replacement. False, without a change, once too many
  // removals took nothing of the rest and did not shorten the text: only those can go on
  // forever, feeding on what the replacement puts in.
  bool Replace(size_t begin, size_t end) {
    if (begin > out_.size()) {
      const size_t take = begin - out_.size();
      out_.append(text_.substr(in_, take));
      in_ += take;
    }
    if (end <= out_.size()) {
      if (replacement_.size() >= end - begin && ++self_fed_ > kSelfFedLimit) return false;
      out_.replace(begin, end - begin, replacement_);
      return true;
    }
    in_ += end - out_.size();
    out_.resize(begin);
    out_.append(replacement_);
    return true;
  }

  std::string_view text_;
  std::string_view start_;
  std::string_view end_;
  std::string_view replacement_;
  std::string& out_;
  size_t in_ = 0;
  int self_fed_ = 0;
};

}  // namespace

void RemoveSpans(std::string_view text, std::string_view start_marker, std::string_view end_marker,
                 std::string_view replacement, std::string& out) {
  if (start_marker.empty() || end_marker.empty()) {
    out.assign(text);
    return;
  }
  SpanRemover(text, start_marker, end_marker, replacement, out).Run();
}

std::string RemoveSpans(std::string_view text, std::string_view start_marker,
                        std::string_view end_marker, std::string_view replacement) {
  std::string out;
  RemoveSpans(text, start_marker, end_marker, replacement, out);
  return out;
}

void RemoveSpansInRecords(std::string_view text, std::string_view start_marker,
                          std::string_view end_marker, std::string_view record_end,
                          std::string& out) {
  out.clear();
  if (start_marker.empty() || end_marker.empty()) {
    out.assign(text);
    return;
  }
  // Each record, from just after the previous record's end tag to just before its own,
  // is cut on its own, so no span can take in a record end tag.
  out.reserve(text.size());
  std::string cut;  // one record's cut body; records are small, so it stays in the heap
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t record_end_at =
        record_end.empty() ? std::string_view::npos : text.find(record_end, pos);
    const size_t body_end = record_end_at == std::string_view::npos ? text.size() : record_end_at;
    const std::string_view body = text.substr(pos, body_end - pos);
    if (body.find(start_marker) == std::string_view::npos) {
      out.append(body);
    } else {
      RemoveSpans(body, start_marker, end_marker, "", cut);
      out.append(cut);
    }
    if (record_end_at == std::string_view::npos) break;
    out.append(record_end);
    pos = record_end_at + record_end.size();
  }
}

std::string RemoveSpansInRecords(std::string_view text, std::string_view start_marker,
                                 std::string_view end_marker, std::string_view record_end) {
  std::string out;
  RemoveSpansInRecords(text, start_marker, end_marker, record_end, out);
  return out;
}

namespace {

// Whether `marker` occurs in `text` where it overlaps [from, to).
bool OverlapsRange(std::string_view text, std::string_view marker, size_t from, size_t to) {
  const size_t first = from - std::min(from, marker.size() - 1);
  const std::string_view reach = text.substr(0, std::min(text.size(), to + marker.size() - 1));
  const size_t hit = reach.find(marker, first);
  return hit != std::string_view::npos && hit < to;
}

// Whether `marker` would run across the join of `before` and `after`.
bool RunsAcross(std::string_view before, std::string_view after, std::string_view marker) {
  for (size_t in_before = 1; in_before < marker.size(); ++in_before) {
    if (in_before > before.size() || marker.size() - in_before > after.size()) continue;
    if (before.substr(before.size() - in_before) == marker.substr(0, in_before) &&
        after.substr(0, marker.size() - in_before) == marker.substr(in_before)) {
      return true;
    }
  }
  return false;
}

// The one scan of RemoveSpansInTurn; false, with `out` undefined, where it might not give
// what cutting the pairs in turn gives. The earliest start marker of a pair still cutting
// is where the passes in turn would cut first, as long as no span holds or crosses another
// pair's marker and no cut makes a marker of the text around it.
bool CutInOneScan(std::string_view text, const std::vector<SpanMarkers>& spans, std::string& out) {
  constexpr size_t kJoinWindow = 64;  // longer than any marker
  const char lead = spans.front().start.empty() ? '\0' : spans.front().start.front();
  for (const SpanMarkers& pair : spans) {
    if (pair.start.empty() || pair.end.empty() || pair.start.front() != lead ||
        pair.start.size() > kJoinWindow || pair.end.size() > kJoinWindow)
      return false;
    for (const SpanMarkers& other : spans) {
      if (&other != &pair && other.start.substr(0, pair.start.size()) == pair.start) return false;
    }
  }
  std::vector<bool> cutting(spans.size(), true);  // a pass ends at a start without an end
  out.clear();
  out.reserve(text.size());
  size_t copied = 0;  // what lies before is in `out`, or cut
  for (size_t at = text.find(lead); at != std::string_view::npos; at = text.find(lead, at)) {
    size_t which = 0;
    while (which < spans.size() &&
           !(cutting[which] && text.substr(at, spans[which].start.size()) == spans[which].start))
      ++which;
    if (which == spans.size()) {
      ++at;
      continue;
    }
    const size_t end = text.find(spans[which].end, at);
    if (end == std::string_view::npos) {
      cutting[which] = false;
      ++at;
      continue;
    }
    const size_t stop = end + spans[which].end.size();
    for (size_t k = 0; k < spans.size(); ++k) {
      if (k != which && (OverlapsRange(text, spans[k].start, at, stop) ||
                         OverlapsRange(text, spans[k].end, at, stop)))
        return false;
    }
    out.append(text.substr(copied, at - copied));
    copied = stop;
    const std::string_view before =
        std::string_view(out).substr(out.size() - std::min(out.size(), kJoinWindow));
    const std::string_view after = text.substr(stop, kJoinWindow);
    for (const SpanMarkers& pair : spans) {
      if (RunsAcross(before, after, pair.start) || RunsAcross(before, after, pair.end))
        return false;
    }
    at = stop;
  }
  out.append(text.substr(copied));
  return true;
}

}  // namespace

void RemoveSpansInTurn(std::string_view text, const std::vector<SpanMarkers>& spans,
                       std::string& out) {
  if (spans.empty()) {
    out.assign(text);
    return;
  }
  if (CutInOneScan(text, spans, out)) return;
  std::string rest(text);
  for (const SpanMarkers& pair : spans) {
    RemoveSpans(rest, pair.start, pair.end, "", out);
    rest.swap(out);
  }
  out.swap(rest);
}

void MarkupRewrite::RemoveSpansInTurn(const std::vector<SpanMarkers>& spans) {
  listelo::RemoveSpansInTurn(text_, spans, scratch_);
  text_.swap(scratch_);
}

// Each pass writes into the second buffer, which then changes places with the text; a
// cut or an exact replacement whose marker is not in the text leaves it as it is.
void MarkupRewrite::ReplaceIgnoringCase(std::string_view from, std::string_view to) {
  AnsiReplaceAllIgnoreCase(text_, from, to, scratch_);
  text_.swap(scratch_);
}

void MarkupRewrite::ReplaceEachIgnoringCase(const std::vector<TextReplacement>& replacements) {
  AnsiReplaceEachIgnoreCase(text_, replacements, scratch_);
  text_.swap(scratch_);
}

void MarkupRewrite::ReplaceExactly(std::string_view from, std::string_view to) {
  if (from.empty() || text_.find(from) == std::string::npos) return;
  ReplaceAll(text_, from, to, scratch_);
  text_.swap(scratch_);
}

void MarkupRewrite::RemoveSpans(std::string_view start, std::string_view end,
                                std::string_view replacement) {
  if (start.empty() || text_.find(start) == std::string::npos) return;
  listelo::RemoveSpans(text_, start, end, replacement, scratch_);
  text_.swap(scratch_);
}

void MarkupRewrite::RemoveSpansInRecords(std::string_view start, std::string_view end,
                                         std::string_view record_end) {
  if (start.empty() || text_.find(start) == std::string::npos) return;
  listelo::RemoveSpansInRecords(text_, start, end, record_end, scratch_);
  text_.swap(scratch_);
}

}  // namespace listelo
