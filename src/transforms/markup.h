// Rewrites of serialised markup treated as plain Windows-1252 text.
#pragma once

#include <string>
#include <string_view>

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

}  // namespace listelo
