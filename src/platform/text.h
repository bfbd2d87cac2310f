// Text inside Listelo is 8-bit Windows-1252 ("ANSI"): one byte is one character, so
// every length, position and "first N characters" rule works on bytes. Unicode only
// appears at the boundaries (XML documents, the window, the terminal, host file names).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace listelo {

// UTF-8 to Windows-1252. A character that Windows-1252 cannot hold, and any byte
// that is not valid UTF-8, becomes "?".
std::string Utf8ToAnsi(std::string_view utf8);
// The same, in the text's own storage: a whole serialised document is converted without
// a second copy of it.
void Utf8ToAnsiInPlace(std::string& text);

// Windows-1252 to UTF-8. The five bytes that Windows-1252 leaves undefined map to the
// C1 control of the same value, as Windows does.
std::string AnsiToUtf8(std::string_view ansi);
// The same, appended to `out`.
void AppendAnsiAsUtf8(std::string& out, std::string_view ansi);

// The Unicode code point of one Windows-1252 byte.
char32_t AnsiToCodePoint(unsigned char c);

// Letter case with the rules of a Western European Windows locale: "é" and "É" are one
// letter, "œ" upper-cases to "Œ", "ÿ" to "Ÿ"; "ß" and "µ" have no upper-case form.
char AnsiUpperChar(char c);
char AnsiLowerChar(char c);
std::string AnsiUpperCase(std::string_view text);
std::string AnsiLowerCase(std::string_view text);
bool AnsiSameText(std::string_view a, std::string_view b);

// Replaces every occurrence of `from`, ignoring letter case, by `to`, scanning left to
// right; text that a replacement puts in is not searched again. Linear in the text.
std::string AnsiReplaceAllIgnoreCase(std::string_view text, std::string_view from,
                                     std::string_view to);
// The same into `out`, whose storage is reused: passes over a large text can alternate
// between two buffers instead of allocating a new one each time. `out` must not be `text`.
void AnsiReplaceAllIgnoreCase(std::string_view text, std::string_view from, std::string_view to,
                              std::string& out);

// Several such replacements in one scan, for large texts: left to right, at each position
// the first pattern of `replacements` that matches there (letter case aside) is replaced
// and the scan goes on after it. Every pattern must begin with the same character, one
// without another letter case ("<" for tags); others are left out. The result is that of
// one AnsiReplaceAllIgnoreCase pass per pattern in the list's order whenever no two
// matches can overlap and no replacement can form or break a match, as with whole tags
// whose only "<" is their first character. `out` must not be `text`.
struct TextReplacement {
  std::string from;
  std::string to;
};
void AnsiReplaceEachIgnoreCase(std::string_view text,
                               const std::vector<TextReplacement>& replacements, std::string& out);

// Replaces every occurrence of `from` (exact, letter case significant) by `to`, scanning
// left to right without overlap; text that a replacement puts in is not searched again.
// An empty `from` is never found. Linear in the text.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);
// The same into `out`, whose storage is reused. `out` must not be `text`.
void ReplaceAll(std::string_view text, std::string_view from, std::string_view to,
                std::string& out);

// Replaces the first occurrence of `from`, ignoring letter case, by `to`. An empty
// `from` is never found.
std::string AnsiReplaceFirstIgnoreCase(std::string_view text, std::string_view from,
                                       std::string_view to);

// Whether `text` holds `needle` (exact, letter case significant). The empty needle is
// never found: a search for an empty field must not match every text.
bool Contains(std::string_view text, std::string_view needle);
// The same, ignoring letter case.
bool AnsiContainsIgnoreCase(std::string_view text, std::string_view needle);

// Blanks and control characters (anything up to and including the space) cut from both
// ends, as the configuration reader and the field transforms trim.
std::string_view TrimBlanks(std::string_view text);

}  // namespace listelo
