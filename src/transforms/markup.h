// Rewrites of serialised markup treated as plain Windows-1252 text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"

namespace listelo {

// Removes spans from `text`: find the first occurrence of `start_marker` and the first
// occurrence of `end_marker` at or after it (exact, case-sensitive), replace everything
// from the beginning of the one to the end of the other by `replacement`, and search
// again from the beginning of the text, until either marker is missing. With the
// markers of one element ("<RefSite>", "</RefSite>") and an empty replacement it
// deletes every such element, tags included; an element written as an empty-element tag
// holds no start marker and stays. Markers that a removal forms across its junction
// (text before + replacement + text after) are found by the later searches.
//
// An end marker that begins before the first start marker never closes a span: the end
// is searched from the start marker on, so a stray end tag ahead of the elements leaves
// them removable. (Searching it from the beginning would replace a span that runs
// backwards, keep both markers and never end.) When no end marker follows the first
// start marker, the text is returned as it stands.
//
// A replacement shorter than the end marker (the exporters pass an empty one) shortens
// the text at every removal, so the call always ends. A longer replacement can rebuild
// spans out of itself forever (one that holds both markers, say). Only removals that
// neither shorten the text nor reach beyond what earlier removals left can keep going
// without end, so the call stops after 1,000 of them and returns the text as it stands.
//
// Empty markers are never found. One pass over the text: linear in its size however many
// spans it removes.
std::string RemoveSpans(std::string_view text, std::string_view start_marker,
                        std::string_view end_marker, std::string_view replacement);
// The same into `out`, whose storage is reused. `out` must not be `text`.
void RemoveSpans(std::string_view text, std::string_view start_marker, std::string_view end_marker,
                 std::string_view replacement, std::string& out);

// The end tag of a vehicle record as the cursor serialises it.
inline constexpr std::string_view kVehicleRecordEnd = "</DataVO>";

// Removes runs of elements inside records: every span from `start_marker` to the first
// `end_marker` after it, both included, as RemoveSpans does with an empty replacement,
// but a span never reaches past the next `record_end` (exact, case-sensitive). A record
// that holds a start marker without an end marker before its own end tag keeps its
// elements, and the records after it are cut as usual; a span that runs past the record's
// end would instead swallow the next records. Text after the last record end is cut up
// to the end of the text. For text whose records each hold both markers, in that order,
// the result is the same as RemoveSpans's. Empty markers are never found. Linear in the
// size of the text.
std::string RemoveSpansInRecords(std::string_view text, std::string_view start_marker,
                                 std::string_view end_marker,
                                 std::string_view record_end = kVehicleRecordEnd);
// The same into `out`, whose storage is reused. `out` must not be `text`.
void RemoveSpansInRecords(std::string_view text, std::string_view start_marker,
                          std::string_view end_marker, std::string_view record_end,
                          std::string& out);

// Two markers of RemoveSpans.
struct SpanMarkers {
  std::string_view start;
  std::string_view end;
};
// What cutting the spans of each pair in turn with RemoveSpans (empty replacement) gives,
// made in one scan of the text where that gives the same: the start markers begin with
// one character and none begins another, every span found holds no marker of another pair
// and lies across none, and no cut joins the text around it into a marker. Where one of
// these fails, the pairs are cut in turn. Linear in the size of the text.
void RemoveSpansInTurn(std::string_view text, const std::vector<SpanMarkers>& spans,
                       std::string& out);

// Passes of text replacements over a whole serialised stock, which can be tens of
// megabytes: every pass writes into the second of two buffers, which then changes places
// with the text, so a run of passes allocates the document's size twice at most instead
// of once per pass. A cut or an exact replacement whose marker is not in the text leaves
// it without a copy.
class MarkupRewrite {
 public:
  explicit MarkupRewrite(std::string text) : text_(std::move(text)) {}

  void ReplaceIgnoringCase(std::string_view from, std::string_view to);
  // Several tag replacements in one scan, as AnsiReplaceEachIgnoreCase makes them.
  void ReplaceEachIgnoringCase(const std::vector<TextReplacement>& replacements);
  void ReplaceExactly(std::string_view from, std::string_view to);
  void RemoveSpans(std::string_view start, std::string_view end, std::string_view replacement = "");
  // Several pairs of markers cut in turn, as RemoveSpansInTurn cuts them.
  void RemoveSpansInTurn(const std::vector<SpanMarkers>& spans);
  // The same, each record on its own: a record that lacks the end keeps its elements.
  void RemoveSpansInRecords(std::string_view start, std::string_view end,
                            std::string_view record_end = kVehicleRecordEnd);

  std::string& text() { return text_; }

 protected:
  std::string text_;
  std::string scratch_;
};

}  // namespace listelo
