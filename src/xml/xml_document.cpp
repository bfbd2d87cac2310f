#include "xml/xml_document.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlsave.h>
#include <libxml/xpathInternals.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "platform/c_file.h"
#include "platform/memory.h"
#include "platform/text.h"

namespace listelo::xml_internal {
namespace {

constexpr const char* kCrLf = "\r\n";
// The default declaration of XML(), and of Save for a document that declares nothing.
constexpr const char* kPlainDeclaration = "<?xml version=\"1.0\"?>";

struct ParserContextDeleter {
  void operator()(xmlParserCtxt* context) const { xmlFreeParserCtxt(context); }
};

const xmlChar* Xml(const std::string& s) { return reinterpret_cast<const xmlChar*>(s.c_str()); }
const char* Chars(const xmlChar* s) { return reinterpret_cast<const char*>(s); }

std::string TrimmedMessage(const char* message) {
  return message == nullptr ? std::string() : std::string(TrimBlanks(message));
}

// The first error the parser reports (the one a reader can act on); later ones are
// mostly consequences of it.
struct ParseErrorSink {
  bool have = false;
  int code = 0;
  int line = 0;
  int column = 0;
  std::string message;
};

void OnParseError(void* user_data, xmlError* error) {
  auto* context = static_cast<xmlParserCtxt*>(user_data);
  if (context == nullptr || context->_private == nullptr || error == nullptr) return;
  auto* sink = static_cast<ParseErrorSink*>(context->_private);
  if (sink->have || error->level < XML_ERR_ERROR) return;
  sink->have = true;
  sink->code = error->code;
  sink->line = error->line;
  sink->column = error->int2;
  sink->message = TrimmedMessage(error->message);
}

bool IsUtf8(std::string_view bytes) {
  size_t i = 0;
  while (i < bytes.size()) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    size_t extra = 0;
    if (c >= 0x80) {
      if ((c & 0xE0) == 0xC0) {
        extra = 1;
      } else if ((c & 0xF0) == 0xE0) {
        extra = 2;
      } else if ((c & 0xF8) == 0xF0) {
        extra = 3;
      } else {
        return false;
      }
    }
    if (bytes.size() - i <= extra) return false;
    for (size_t k = 1; k <= extra; ++k) {
      if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) return false;
    }
    i += extra + 1;
  }
  return true;
}

// Line `line` (1-based) of the source, cut to a window around `column` when long.
std::string SourceLine(std::string_view bytes, int line, int column, bool utf8) {
  if (line < 1) return {};
  size_t start = 0;
  for (int l = 1; l < line; ++l) {
    size_t nl = bytes.find('\n', start);
    if (nl == std::string_view::npos) return {};
    start = nl + 1;
  }
  size_t end = bytes.find('\n', start);
  std::string_view text = bytes.substr(start, end == std::string_view::npos ? end : end - start);
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  constexpr size_t kWindow = 200;
  if (text.size() > 2 * kWindow) {
    size_t at = column > 0 ? static_cast<size_t>(column) : 0;
    size_t from = at > kWindow ? at - kWindow : 0;
    text = text.substr(from, 2 * kWindow);
  }
  return utf8 ? Utf8ToAnsi(text) : std::string(text);
}

// The XML declaration at the start of the bytes, as written; empty when there is none
// or when it is not in an ASCII-compatible encoding.
std::string LeadingDeclaration(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  if (bytes.substr(0, 5) != "<?xml" || bytes.size() < 6) return {};
  char after = bytes[5];
  if (after != ' ' && after != '\t' && after != '\r' && after != '\n') return {};
  size_t end = bytes.find("?>");
  if (end == std::string_view::npos) return {};
  return std::string(bytes.substr(0, end + 2));
}

// The value of the pseudo-attribute `encoding` of a declaration, empty when absent.
std::string DeclaredEncoding(std::string_view declaration) {
  size_t at = declaration.find("encoding");
  if (at == std::string_view::npos) return {};
  at = declaration.find('=', at);
  if (at == std::string_view::npos) return {};
  size_t quote = declaration.find_first_of("\"'", at);
  if (quote == std::string_view::npos) return {};
  size_t close = declaration.find(declaration[quote], quote + 1);
  if (close == std::string_view::npos) return {};
  return std::string(declaration.substr(quote + 1, close - quote - 1));
}

bool AsciiCompatible(std::string_view encoding) {
  std::string upper = AnsiUpperCase(encoding);
  return upper.rfind("UTF-16", 0) != 0 && upper.rfind("UTF-32", 0) != 0 &&
         upper.rfind("UCS", 0) != 0 && upper.rfind("UTF16", 0) != 0;
}

bool IsWhitespaceText(const xmlNode* node) {
  if (node->type != XML_TEXT_NODE || node->content == nullptr) return false;
  for (const xmlChar* p = node->content; *p != 0; ++p) {
    if (*p != ' ' && *p != '\t' && *p != '\r' && *p != '\n') return false;
  }
  return true;
}

// Text nodes made only of blanks between elements are not part of the document's
// content (the stock database indents its files); they are dropped as each element
// closes, except where xml:space="preserve" asks to keep them. Dropping them while the
// document is read, not after, keeps a stock file's indentation from ever filling the
// memory as nodes.
void DropBlankChildren(xmlNode* element) {
  for (xmlNode* child = element->children; child != nullptr;) {
    xmlNode* next = child->next;
    if (IsWhitespaceText(child) && xmlNodeGetSpacePreserve(element) != 1) {
      xmlUnlinkNode(child);
      xmlFreeNode(child);
    }
    child = next;
  }
}

void OnEndElement(void* context, const xmlChar* local_name, const xmlChar* prefix,
                  const xmlChar* uri) {
  xmlNode* element = static_cast<xmlParserCtxt*>(context)->node;
  xmlSAX2EndElementNs(context, local_name, prefix, uri);
  if (element != nullptr) DropBlankChildren(element);
}

// The parser reads the text through this, a few kilobytes at a time, so that it never
// holds a copy of the whole text. Windows-1252 text is turned into UTF-8 on the way.
struct ParseInput {
  std::string_view bytes;
  bool ansi = false;
  size_t at = 0;
  std::string piece;  // the UTF-8 form of the piece being handed over
  // The rest of the text, after `bytes`, when it is read from a file as the parser goes.
  std::FILE* file = nullptr;
  bool read_failed = false;
};

int ReadParseInput(void* context, char* buffer, int length) {
  auto* input = static_cast<ParseInput*>(context);
  const size_t room = static_cast<size_t>(length);
  const size_t left = input->bytes.size() - input->at;
  if (left == 0 && input->file != nullptr) {
    const size_t n = std::fread(buffer, 1, room, input->file);
    if (n < room && std::ferror(input->file)) {
      input->read_failed = true;
      return -1;
    }
    return static_cast<int>(n);
  }
  if (!input->ansi) {
    const size_t n = std::min(room, left);
    std::memcpy(buffer, input->bytes.data() + input->at, n);
    input->at += n;
    return static_cast<int>(n);
  }
  // A Windows-1252 byte takes at most three bytes in UTF-8.
  const size_t n = std::min(room / 3, left);
  input->piece.clear();
  AppendAnsiAsUtf8(input->piece, input->bytes.substr(input->at, n));
  std::memcpy(buffer, input->piece.data(), input->piece.size());
  input->at += n;
  return static_cast<int>(input->piece.size());
}

}  // namespace

// Where serialised bytes go: all into one string, or, with a sink, handed on in pieces
// of about a megabyte as they come, so that a whole document is never held as text.
class SaveOutput {
 public:
  explicit SaveOutput(const ByteSink* sink = nullptr) : sink_(sink) {}

  void Append(std::string_view bytes) {
    bytes_.append(bytes);
    if (bytes_.size() < kPiece) return;
    if (sink_ != nullptr) {
      Flush();
    } else {
      SetPieceAside();
    }
  }
  // Hands on what is left; nothing without a sink.
  void Flush() {
    if (sink_ == nullptr || bytes_.empty()) return;
    (*sink_)(bytes_);
    bytes_.clear();
  }
  // How much was appended, without a sink.
  size_t size() const { return set_aside_ + bytes_.size(); }
  // Everything appended, in one string, without a sink. A large output is gathered in
  // pieces and joined once, into a string of its final size: a string grown by halves
  // would be copied again at each doubling, each time into fresh memory that the system
  // clears first, and a document's markup may be twice the size of the text it was read
  // from.
  std::string TakeBytes() {
    if (pieces_.empty()) return std::exchange(bytes_, {});
    std::string all;
    all.reserve(size());
    for (std::string& piece : pieces_) all += std::exchange(piece, {});
    all += std::exchange(bytes_, {});
    pieces_.clear();
    set_aside_ = 0;
    return all;
  }
  // A failure of the sink inside the library's callback, raised again once the library
  // has returned: an exception must not cross the library's C frames.
  void Keep(std::exception_ptr failure) { failure_ = failure; }
  void RaiseKept() {
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
  }

 private:
  static constexpr size_t kPiece = size_t{1} << 20;

  void SetPieceAside() {
    set_aside_ += bytes_.size();
    pieces_.push_back(std::exchange(bytes_, {}));
    bytes_.reserve(kPiece + kPiece / 4);
  }

  const ByteSink* sink_;
  std::string bytes_;
  std::vector<std::string> pieces_;  // without a sink: the full pieces, in order
  size_t set_aside_ = 0;             // their size
  std::exception_ptr failure_;
};

namespace {

// Serialised bytes go straight into the caller's output: no buffer of the library's to
// grow and copy out.
int AppendToOutput(void* context, const char* bytes, int length) {
  auto* out = static_cast<SaveOutput*>(context);
  try {
    out->Append(std::string_view(bytes, static_cast<size_t>(length)));
  } catch (...) {
    out->Keep(std::current_exception());
    return -1;
  }
  return length;
}

struct SaveClose {
  void operator()(xmlSaveCtxt* context) const { xmlSaveClose(context); }
};

// How one node goes through the save context: whole, as the library saves it, unless a
// caller writes it its own way (false when the library failed).
using NodeWriter = std::function<bool(xmlSaveCtxt* save, xmlNode* node)>;

// Serialises nodes with one save context, appended to `out`: start and end tags for
// empty elements, no declaration of its own.
void AppendSavedNodes(SaveOutput& out, const std::vector<xmlNode*>& nodes, const char* encoding,
                      bool indent, bool line_after_each, const NodeWriter& write = nullptr) {
  int options = XML_SAVE_NO_EMPTY | XML_SAVE_NO_DECL | (indent ? XML_SAVE_FORMAT : 0);
  std::unique_ptr<xmlSaveCtxt, SaveClose> save(
      xmlSaveToIO(AppendToOutput, nullptr, &out, encoding, options));
  if (!save) {
    throw XmlCursorError(std::string("Unsupported encoding ") + (encoding ? encoding : ""));
  }
  bool written = true;
  for (xmlNode* node : nodes) {
    written = (write ? write(save.get(), node) : xmlSaveTree(save.get(), node) >= 0) && written;
    if (line_after_each) {
      written = xmlSaveFlush(save.get()) >= 0 && written;
      out.Append("\n");
    }
  }
  const bool closed = xmlSaveClose(save.release()) >= 0;
  out.RaiseKept();
  if (!closed || !written) throw XmlCursorError("Out of memory");
}

std::vector<xmlNode*> TopLevelNodes(xmlDoc* doc) {
  std::vector<xmlNode*> nodes;
  for (xmlNode* n = doc->children; n != nullptr; n = n->next) nodes.push_back(n);
  return nodes;
}

// The whole document after `declaration` and a line end.
void WriteDocumentText(SaveOutput& out, xmlDoc* doc, std::string_view declaration,
                       const char* encoding, const NodeWriter& write = nullptr) {
  out.Append(declaration);
  out.Append("\n");
  AppendSavedNodes(out, TopLevelNodes(doc), encoding, false, true, write);
  out.Flush();
}

std::string DocumentText(xmlDoc* doc, std::string_view declaration, const char* encoding) {
  SaveOutput out;
  WriteDocumentText(out, doc, declaration, encoding);
  return out.TakeBytes();
}

std::string DocumentMarkupOf(xmlDoc* doc) { return DocumentText(doc, kPlainDeclaration, "UTF-8"); }

// The start and end tags of `element` exactly as the library writes them around its
// children: the element is saved once with its children set aside, and the end tag is
// where "</" first appears (in a start tag a "<" is always written as "&lt;").
std::pair<std::string, std::string> SavedTags(xmlNode* element) {
  xmlNode* first = std::exchange(element->children, nullptr);
  xmlNode* last = std::exchange(element->last, nullptr);
  SaveOutput out;
  try {
    AppendSavedNodes(out, {element}, "UTF-8", false, false);
  } catch (...) {
    element->children = first;
    element->last = last;
    throw;
  }
  element->children = first;
  element->last = last;
  const std::string tags = out.TakeBytes();
  const size_t end = tags.rfind("</");
  if (end == std::string::npos) throw XmlCursorError("Out of memory");
  return {tags.substr(0, end), tags.substr(end)};
}

// Where handing freed pages back stands while a tree is written and freed.
struct PageReturn {
  bool wanted = false;
  size_t step = 0;            // how much the markup grows between two returns
  size_t markup_at_last = 0;  // the markup's size when pages last went back
};

}  // namespace

// Sections of the root element whose place in the markup is wanted, and their places.
struct SectionSpans {
  const std::vector<xmlNode*>* sections = nullptr;
  std::vector<Tree::Span>* spans = nullptr;

  bool Wanted(const xmlNode* node, int depth) const {
    return depth == 1 && sections != nullptr &&
           std::find(sections->begin(), sections->end(), node) != sections->end();
  }
};

namespace {

// How far the markup has come: what the save context still holds goes out first.
size_t WrittenSize(xmlSaveCtxt* save, SaveOutput& out) {
  if (xmlSaveFlush(save) < 0) throw XmlCursorError("Out of memory");
  out.RaiseKept();
  return out.size();
}

void WriteAndFreeChildren(xmlSaveCtxt* save, SaveOutput& out, xmlNode* node, int depth,
                          PageReturn& pages, const SectionSpans& wanted);

// Writes `node` through `save` into `out` as xmlSaveTree would, freeing the records below
// it as they are written: the root element (depth 0) and its sections (depth 1) are
// written tag, children, tag; anything deeper is written whole. The caller frees `node`.
void WriteAndFreeRecords(xmlSaveCtxt* save, SaveOutput& out, xmlNode* node, int depth,
                         PageReturn& pages, const SectionSpans& wanted = {}) {
  const bool spanned = wanted.Wanted(node, depth);
  const size_t begin = spanned ? WrittenSize(save, out) : 0;
  WriteAndFreeChildren(save, out, node, depth, pages, wanted);
  if (spanned) wanted.spans->push_back({begin, WrittenSize(save, out)});
}

void WriteAndFreeChildren(xmlSaveCtxt* save, SaveOutput& out, xmlNode* node, int depth,
                          PageReturn& pages, const SectionSpans& wanted) {
  constexpr int kRecordDepth = 2;
  if (depth == kRecordDepth || node->type != XML_ELEMENT_NODE || node->children == nullptr) {
    if (xmlSaveTree(save, node) < 0) throw XmlCursorError("Out of memory");
    return;
  }
  const auto [start_tag, end_tag] = SavedTags(node);
  // What the context holds goes out before the tags written beside it.
  if (xmlSaveFlush(save) < 0) throw XmlCursorError("Out of memory");
  out.RaiseKept();
  out.Append(start_tag);
  for (xmlNode* child = node->children; child != nullptr;) {
    xmlNode* next = child->next;
    WriteAndFreeRecords(save, out, child, depth + 1, pages, wanted);
    xmlUnlinkNode(child);
    xmlFreeNode(child);
    child = next;
    if (pages.wanted && out.size() >= pages.markup_at_last + pages.step) {
      ReturnFreedMemory();
      pages.markup_at_last = out.size();
    }
  }
  if (xmlSaveFlush(save) < 0) throw XmlCursorError("Out of memory");
  out.RaiseKept();
  out.Append(end_tag);
}

bool IsPlainName(std::string_view name) {
  if (name.empty()) return false;
  auto start = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
  if (!start(name[0])) return false;
  for (char c : name) {
    if (!start(c) && !(c >= '0' && c <= '9') && c != '-' && c != '.') return false;
  }
  return true;
}

void OnXPathError(void* user_data, xmlError* error) {
  auto* message = static_cast<std::string*>(user_data);
  if (message->empty() && error != nullptr) *message = TrimmedMessage(error->message);
}

bool HasName(const xmlNode* node, std::string_view name) {
  if (node->type != XML_ELEMENT_NODE || node->ns != nullptr) return false;
  // A record is read field by field among some sixty siblings: most differ at once.
  const char* own = Chars(node->name);
  return !name.empty() && own[0] == name[0] && std::strncmp(own, name.data(), name.size()) == 0 &&
         own[name.size()] == '\0';
}

}  // namespace

std::string Excerpt(std::string_view text) {
  if (text.size() <= kExcerptLimit) return std::string(text);
  return std::string(text.substr(0, kExcerptLimit)) + "... (" +
         std::to_string(text.size() - kExcerptLimit) + " more characters)";
}

std::string ParseErrorMessage(int code, int line, int column, std::string_view url_ansi,
                              std::string_view source_line, std::string_view reason) {
  std::string message = "Error " + std::to_string(code) + " on line " + std::to_string(line) +
                        ", char " + std::to_string(column) + " in \"";
  message.append(url_ansi);
  message += "\"";
  message += kCrLf;
  message.append(source_line);
  message += kCrLf;
  message += Excerpt(reason);
  return message;
}

namespace {

// A reader that keeps nothing of what it reads: the parser finds the same faults with it,
// which it finds itself whatever the reader does; the declarations of an internal subset
// are still kept, so that the entities they declare are known.
void IgnoreStartElement(void*, const xmlChar*, const xmlChar*, const xmlChar*, int, const xmlChar**,
                        int, int, const xmlChar**) {}
void IgnoreEndElement(void*, const xmlChar*, const xmlChar*, const xmlChar*) {}
void IgnoreText(void*, const xmlChar*, int) {}
void IgnoreName(void*, const xmlChar*) {}
void IgnoreInstruction(void*, const xmlChar*, const xmlChar*) {}

void KeepNothing(xmlSAXHandler& sax) {
  sax.startElementNs = IgnoreStartElement;
  sax.endElementNs = IgnoreEndElement;
  sax.characters = IgnoreText;
  sax.cdataBlock = IgnoreText;
  sax.ignorableWhitespace = IgnoreText;
  sax.reference = IgnoreName;
  sax.comment = IgnoreName;
  sax.processingInstruction = IgnoreInstruction;
}

enum class Reading { kTree, kCheckOnly };

// Reads the document from `input`; `text` gives the whole text again for the message of a
// fault (only then is a document read from a file held whole).
DocHandle ReadDocument(ParseInput& input, const std::function<std::string()>& text,
                       const std::string& url_ansi, bool ansi_text, Reading reading) {
  std::unique_ptr<xmlParserCtxt, ParserContextDeleter> context(xmlNewParserCtxt());
  if (!context) throw XmlCursorError("Out of memory");
  ParseErrorSink sink;
  context->_private = &sink;
  context->sax->serror = OnParseError;
  context->sax->endElementNs = OnEndElement;
  if (reading == Reading::kCheckOnly) KeepNothing(*context->sax);
  // No network, no external entities or DTDs (neither NOENT nor DTDLOAD), and
  // libxml2's limits on entity expansion stay on (no XML_PARSE_HUGE).
  // NOBLANKS spares the nodes of most blank runs between elements (the indentation of a
  // stock document): the library drops only runs that stand alone between a tag and the
  // next one, outside xml:space="preserve", which the end-element handler drops anyway.
  int options = XML_PARSE_NONET | XML_PARSE_COMPACT | XML_PARSE_BIG_LINES | XML_PARSE_NOBLANKS;
  if (ansi_text) options |= XML_PARSE_IGNORE_ENC;
  const std::string url_utf8 = AnsiToUtf8(url_ansi);
  DocHandle doc(xmlCtxtReadIO(context.get(), ReadParseInput, nullptr, &input, url_utf8.c_str(),
                              ansi_text ? "UTF-8" : nullptr, options));
  if (input.read_failed) return nullptr;
  if (!doc || !context->wellFormed) {
    const std::string bytes = text();
    if (!sink.have) {
      const xmlError* last = &context->lastError;
      sink.code = last->code;
      sink.line = last->line;
      sink.column = last->int2;
      sink.message = TrimmedMessage(last->message);
      if (sink.message.empty()) sink.message = "The document could not be parsed.";
    }
    // The parser counted columns in the UTF-8 it was given.
    const std::string utf8_text = ansi_text ? AnsiToUtf8(bytes) : std::string();
    const std::string_view parsed = ansi_text ? std::string_view(utf8_text) : bytes;
    const bool utf8 = ansi_text || IsUtf8(bytes);
    throw XmlCursorError(ParseErrorMessage(sink.code, sink.line, sink.column, url_ansi,
                                           SourceLine(parsed, sink.line, sink.column, utf8),
                                           Utf8ToAnsi(sink.message)));
  }
  return doc;
}

// Reads a document held whole as text.
DocHandle ReadText(std::string_view bytes, const std::string& url_ansi, bool ansi_text,
                   Reading reading) {
  ParseInput input;
  input.bytes = bytes;
  input.ansi = ansi_text;
  return ReadDocument(
      input, [&] { return std::string(bytes); }, url_ansi, ansi_text, reading);
}

struct OutputBufferClose {
  void operator()(xmlOutputBuffer* buffer) const { xmlOutputBufferClose(buffer); }
};

// The markup after its declaration, turned into UTF-8 a megabyte at a time and handed on.
template <typename Write>
void ForEachUtf8Piece(std::string_view markup, Write write) {
  constexpr size_t kMarkupPiece = size_t{1} << 20;
  std::string piece;
  for (size_t at = 0; at < markup.size(); at += kMarkupPiece) {
    piece.clear();
    AppendAnsiAsUtf8(piece, markup.substr(at, kMarkupPiece));
    write(piece);
  }
}

// How each Windows-1252 byte is written in a Latin character set of one byte per
// character: the set's byte for the character, or the decimal character reference the
// library writes for a character the set lacks. A character's reference does not depend
// on where it stands (text, attribute, comment): the library's encoder only sees bytes.
class LatinForms {
 public:
  // The forms for ISO-8859-1 or ISO-8859-15; none for another encoding, which the
  // library's encoder writes.
  static std::optional<LatinForms> Of(std::string_view encoding) {
    const std::string name = AnsiUpperCase(encoding);
    if (name == "ISO-8859-1") return LatinForms({});
    if (name == "ISO-8859-15") return LatinForms(kLatin9Changes);
    return std::nullopt;
  }

  // `ansi` written in the set, appended to `out`.
  void Append(std::string_view ansi, SaveOutput& out) const {
    size_t run = 0;  // the bytes from here on are written as they are
    for (size_t i = 0; i < ansi.size(); ++i) {
      const std::string& form = forms_[static_cast<unsigned char>(ansi[i])];
      if (form.size() == 1 && form[0] == ansi[i]) continue;
      out.Append(ansi.substr(run, i - run));
      out.Append(form);
      run = i + 1;
    }
    out.Append(ansi.substr(run));
  }

 private:
  struct Change {
    char32_t code_point;
    unsigned char byte;
  };
  // Where ISO-8859-15 differs from Latin-1: these bytes hold other characters.
  static constexpr Change kLatin9Changes[] = {
      {U'\u20AC', 0xA4}, {U'\u0160', 0xA6}, {U'\u0161', 0xA8}, {U'\u017D', 0xB4},
      {U'\u017E', 0xB8}, {U'\u0152', 0xBC}, {U'\u0153', 0xBD}, {U'\u0178', 0xBE}};

  explicit LatinForms(std::span<const Change> changes) {
    for (int b = 0; b < 256; ++b) {
      const char32_t code_point = AnsiToCodePoint(static_cast<unsigned char>(b));
      std::optional<unsigned char> in_set;
      if (code_point < 0x100) in_set = static_cast<unsigned char>(code_point);
      for (const Change& change : changes) {
        if (change.byte == code_point) in_set.reset();
        if (change.code_point == code_point) in_set = change.byte;
      }
      forms_[static_cast<size_t>(b)] =
          in_set ? std::string(1, static_cast<char>(*in_set))
                 : "&#" + std::to_string(static_cast<std::uint32_t>(code_point)) + ";";
    }
  }

  std::array<std::string, 256> forms_;
};

// The encoding the markup's content is written in; empty for UTF-8.
std::string MarkupEncoding(std::string_view declaration) {
  const std::string encoding = DeclaredEncoding(declaration);
  return AnsiUpperCase(encoding) == "UTF-8" ? std::string() : encoding;
}

}  // namespace

bool MarkupWritesAsSaved(std::string_view markup) {
  const std::string declaration = LeadingDeclaration(markup);
  const std::string encoding = MarkupEncoding(declaration);
  if (encoding.empty()) return true;
  if (markup.substr(0, declaration.size()) != declaration || !AsciiCompatible(encoding) ||
      markup.find("&#x") != std::string_view::npos) {
    return false;
  }
  xmlCharEncodingHandler* handler = xmlFindCharEncodingHandler(encoding.c_str());
  if (handler == nullptr) return false;
  xmlCharEncCloseFunc(handler);
  return true;
}

void WriteMarkupAsSaved(std::string_view markup, const ByteSink& sink) {
  const std::string declaration = LeadingDeclaration(markup);
  const std::string encoding = MarkupEncoding(declaration);
  if (encoding.empty()) {
    ForEachUtf8Piece(markup, [&](const std::string& piece) { sink(piece); });
    return;
  }
  if (const std::optional<LatinForms> forms = LatinForms::Of(encoding)) {
    // Straight from Windows-1252: no round through UTF-8 and the library's converter.
    SaveOutput out(&sink);
    out.Append(declaration);
    forms->Append(markup.substr(declaration.size()), out);
    out.Flush();
    return;
  }
  xmlCharEncodingHandler* handler = xmlFindCharEncodingHandler(encoding.c_str());
  if (handler == nullptr) throw XmlCursorError("Unsupported encoding " + encoding);
  SaveOutput out(&sink);
  out.Append(declaration);
  std::unique_ptr<xmlOutputBuffer, OutputBufferClose> buffer(
      xmlOutputBufferCreateIO(AppendToOutput, nullptr, &out, handler));
  if (!buffer) throw XmlCursorError("Out of memory");
  bool written = true;
  ForEachUtf8Piece(markup.substr(declaration.size()), [&](const std::string& piece) {
    written = written &&
              xmlOutputBufferWrite(buffer.get(), static_cast<int>(piece.size()), piece.data()) >= 0;
  });
  const bool closed = xmlOutputBufferClose(buffer.release()) >= 0;
  out.RaiseKept();
  if (!written || !closed) throw XmlCursorError("Out of memory");
  out.Flush();
}

std::shared_ptr<Tree> Parse(std::string_view bytes, const std::string& url_ansi, bool ansi_text) {
  DocHandle doc = ReadText(bytes, url_ansi, ansi_text, Reading::kTree);
  return std::make_shared<Tree>(std::move(doc), LeadingDeclaration(bytes), bytes.size());
}

void CheckWellFormed(std::string_view bytes, const std::string& url_ansi, bool ansi_text) {
  ReadText(bytes, url_ansi, ansi_text, Reading::kCheckOnly);
}

std::shared_ptr<Tree> ParseFile(const std::filesystem::path& host, const std::string& url_ansi) {
  FileHandle file = OpenCFile(host, "rb");
  if (!file) return nullptr;
  // The declaration is read from the start of the file, which the parser is handed first.
  constexpr size_t kHead = 64 * 1024;
  std::string head(kHead, '\0');
  head.resize(std::fread(head.data(), 1, head.size(), file.get()));
  if (std::ferror(file.get())) return nullptr;
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(host, ec);
  ParseInput input;
  input.bytes = head;
  input.file = file.get();
  const auto whole_text = [&] { return ReadWholeFile(host).value_or(std::string()); };
  DocHandle doc = ReadDocument(input, whole_text, url_ansi, false, Reading::kTree);
  if (!doc) return nullptr;
  return std::make_shared<Tree>(std::move(doc), LeadingDeclaration(head),
                                ec ? head.size() : static_cast<size_t>(size));
}

Tree::Tree(DocHandle doc, std::string declaration, size_t source_size)
    : doc_(std::move(doc)), declaration_(std::move(declaration)), source_size_(source_size) {
  xpath_.reset(xmlXPathNewContext(doc_.get()));
  if (!xpath_) throw XmlCursorError("Out of memory");
}

Tree::~Tree() {
  xpath_.reset();
  // Detached nodes use the document's name dictionary: free them first.
  for (xmlNode* node : detached_) xmlFreeNode(node);
}

void Tree::RegisterRootNamespaces() {
  xmlNode* root = xmlDocGetRootElement(doc_.get());
  if (root == nullptr) return;
  for (xmlNs* ns = root->nsDef; ns != nullptr; ns = ns->next) {
    if (ns->prefix != nullptr && ns->href != nullptr)
      xmlXPathRegisterNs(xpath_.get(), ns->prefix, ns->href);
  }
}

std::vector<xmlNode*> Tree::SelectNodes(xmlNode* context, std::string_view expression_ansi) {
  const std::string expression = AnsiToUtf8(expression_ansi);
  std::string message;
  xpath_->node = context;
  xpath_->error = OnXPathError;
  xpath_->userData = &message;
  XPathObjectHandle result(xmlXPathEvalExpression(Xml(expression), xpath_.get()));
  xpath_->userData = nullptr;
  if (!result) {
    if (message.empty()) message = "Invalid XPath expression";
    throw XmlCursorError(Excerpt(Utf8ToAnsi(message)) + kCrLf + Excerpt(expression_ansi));
  }
  if (result->type != XPATH_NODESET) {
    throw XmlCursorError("Expression does not evaluate to a node-set." + std::string(kCrLf) +
                         Excerpt(expression_ansi));
  }
  std::vector<xmlNode*> nodes;
  if (xmlNodeSet* set = result->nodesetval) {
    nodes.reserve(static_cast<size_t>(set->nodeNr));
    for (int i = 0; i < set->nodeNr; ++i) {
      // Namespace nodes are copies owned by the result; they cannot outlive it.
      if (set->nodeTab[i]->type != XML_NAMESPACE_DECL) nodes.push_back(set->nodeTab[i]);
    }
  }
  return nodes;
}

xmlNode* Tree::SelectFirst(xmlNode* context, std::string_view expression_ansi) {
  // The names that records are read by: answered without XPath, exactly as the
  // expressions "name" and "@name" select (no-namespace children, in order).
  if (IsPlainName(expression_ansi)) {
    if (context->type == XML_ELEMENT_NODE || context->type == XML_DOCUMENT_NODE) {
      for (xmlNode* child = context->children; child != nullptr; child = child->next) {
        if (HasName(child, expression_ansi)) return child;
      }
    }
    return nullptr;
  }
  if (expression_ansi.size() > 1 && expression_ansi[0] == '@' &&
      IsPlainName(expression_ansi.substr(1))) {
    if (context->type != XML_ELEMENT_NODE) return nullptr;
    const std::string name(expression_ansi.substr(1));
    for (xmlAttr* attr = context->properties; attr != nullptr; attr = attr->next) {
      if (attr->ns == nullptr && std::strcmp(Chars(attr->name), name.c_str()) == 0) {
        return reinterpret_cast<xmlNode*>(attr);
      }
    }
    return nullptr;
  }
  std::vector<xmlNode*> nodes = SelectNodes(context, expression_ansi);
  return nodes.empty() ? nullptr : nodes.front();
}

KeyIndex& Tree::IndexFor(const std::string& record_path, const std::string& field) {
  auto key = std::make_pair(record_path, field);
  auto found = indexes_.find(key);
  if (found != indexes_.end()) return found->second;
  IndexShape shape;
  shape.field = field;
  size_t start = 1;
  while (start <= record_path.size()) {
    size_t slash = record_path.find('/', start);
    if (slash == std::string::npos) slash = record_path.size();
    shape.steps.push_back(record_path.substr(start, slash - start));
    start = slash + 1;
  }
  KeyIndex& index = indexes_[key];
  BuildIndex(shape, index);
  for (const std::string& step : shape.steps) indexed_names_.insert(step);
  indexed_names_.insert(field);
  field_names_.insert(field);
  return index;
}

void Tree::BuildIndex(const IndexShape& shape, KeyIndex& index) const {
  std::vector<xmlNode*> level{reinterpret_cast<xmlNode*>(doc_.get())};
  for (const std::string& step : shape.steps) {
    std::vector<xmlNode*> next;
    for (xmlNode* parent : level) {
      for (xmlNode* child = parent->children; child != nullptr; child = child->next) {
        if (HasName(child, step)) next.push_back(child);
      }
    }
    level = std::move(next);
  }
  for (xmlNode* record : level) {
    for (xmlNode* child = record->children; child != nullptr; child = child->next) {
      if (!HasName(child, shape.field)) continue;
      xmlChar* content = xmlNodeGetContent(child);
      const char* text = content != nullptr ? Chars(content) : "";
      auto& by_text = index.by_text[text];
      if (by_text.empty() || by_text.back() != record) by_text.push_back(record);
      double number = xmlXPathCastStringToNumber(Xml(text));
      xmlFree(content);
      if (std::isnan(number)) continue;
      if (number == 0) number = 0;  // -0 and 0 are one number
      auto& by_number = index.by_number[number];
      if (by_number.empty() || by_number.back() != record) by_number.push_back(record);
    }
  }
}

const std::vector<xmlNode*>& Tree::RecordsWithText(const std::string& record_path,
                                                   const std::string& field,
                                                   const std::string& utf8_value) {
  static const std::vector<xmlNode*> kNone;
  const KeyIndex& index = IndexFor(record_path, field);
  auto found = index.by_text.find(utf8_value);
  return found == index.by_text.end() ? kNone : found->second;
}

const std::vector<xmlNode*>& Tree::RecordsWithNumber(const std::string& record_path,
                                                     const std::string& field, double value) {
  static const std::vector<xmlNode*> kNone;
  if (std::isnan(value)) return kNone;
  if (value == 0) value = 0;
  const KeyIndex& index = IndexFor(record_path, field);
  auto found = index.by_number.find(value);
  return found == index.by_number.end() ? kNone : found->second;
}

bool Tree::SubtreeHasIndexedName(xmlNode* node) const {
  if (node == nullptr) return false;
  if (node->type == XML_ELEMENT_NODE &&
      indexed_names_.count(std::string_view(Chars(node->name))) != 0)
    return true;
  if (node->type != XML_ELEMENT_NODE) return false;
  for (xmlNode* child = node->children; child != nullptr; child = child->next) {
    if (SubtreeHasIndexedName(child)) return true;
  }
  return false;
}

void Tree::NoteEdit(xmlNode* parent, xmlNode* subtree) {
  if (indexes_.empty()) return;
  bool changes = SubtreeHasIndexedName(subtree);
  for (xmlNode* n = parent; !changes && n != nullptr; n = n->parent) {
    changes =
        n->type == XML_ELEMENT_NODE && field_names_.count(std::string_view(Chars(n->name))) != 0;
  }
  if (!changes) return;
  indexes_.clear();
  indexed_names_.clear();
  field_names_.clear();
}

void Tree::Detach(xmlNode* node) {
  xmlNode* parent = node->parent;
  xmlUnlinkNode(node);
  detached_.push_back(node);
  ++structure_version_;
  NoteEdit(parent, node);
}

void Tree::Link(xmlNode* parent, xmlNode* before, xmlNode* node) {
  // Linked by hand: xmlAddChild and its siblings merge adjacent text nodes and free
  // one of them, which would pull a node from under a cursor.
  node->parent = parent;
  if (before == nullptr) {
    node->prev = parent->last;
    node->next = nullptr;
    if (parent->last != nullptr) {
      parent->last->next = node;
    } else {
      parent->children = node;
    }
    parent->last = node;
  } else {
    node->next = before;
    node->prev = before->prev;
    if (before->prev != nullptr) {
      before->prev->next = node;
    } else {
      parent->children = node;
    }
    before->prev = node;
  }
  ++structure_version_;
  NoteEdit(parent, node);
}

void Tree::ReplaceText(xmlNode* node, const std::string& utf8) {
  switch (node->type) {
    case XML_ELEMENT_NODE:
    case XML_ATTRIBUTE_NODE: {
      xmlNode* only = node->children;
      if (only != nullptr && only->next == nullptr && only->type == XML_TEXT_NODE &&
          !utf8.empty()) {
        NoteEdit(node, nullptr);
        xmlNodeSetContent(only, Xml(utf8));  // verbatim for a text node
        return;
      }
      while (node->children != nullptr) Detach(node->children);
      if (!utf8.empty()) Link(node, nullptr, xmlNewDocText(doc_.get(), Xml(utf8)));
      return;
    }
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_COMMENT_NODE:
    case XML_PI_NODE:
      NoteEdit(node, nullptr);
      xmlNodeSetContent(node, Xml(utf8));
      return;
    default:
      throw XmlCursorError("This operation cannot be performed on a node of this type.");
  }
}

std::string Tree::NodeMarkup(xmlNode* node, bool indent) {
  if (node->type == XML_DOCUMENT_NODE) return DocumentMarkupOf(reinterpret_cast<xmlDoc*>(node));
  SaveOutput out;
  AppendSavedNodes(out, {node}, "UTF-8", indent, false);
  std::string markup = out.TakeBytes();
  if (node->type == XML_ATTRIBUTE_NODE && !markup.empty() && markup[0] == ' ') markup.erase(0, 1);
  return markup;
}

std::string Tree::DocumentMarkup() const { return DocumentMarkupOf(doc_.get()); }

std::string Tree::TakeDocumentMarkup(bool return_freed_pages) {
  return TakeMarkup(return_freed_pages, {});
}

std::string Tree::TakeMarkup(bool return_freed_pages, const SectionSpans& wanted) {
  // Nothing may point into the tree any more: the indexes and the detached nodes go first.
  indexes_.clear();
  indexed_names_.clear();
  field_names_.clear();
  for (xmlNode* node : std::exchange(detached_, {})) xmlFreeNode(node);
  ++structure_version_;

  // The freed pages go back a few times over the whole markup: each time the markup has
  // grown by a quarter of the document's text, and by 16 MB at least. Each return walks
  // every free stretch of the heap, those it already gave back included, so a fixed step
  // would cost more than in proportion on a larger stock; a few returns keep the tree
  // shrinking about as fast as its markup grows.
  PageReturn pages{return_freed_pages, std::max(size_t{16} << 20, source_size_ / 4)};
  // As DocumentMarkupOf writes it, each top-level node written record by record.
  SaveOutput out;
  WriteDocumentText(out, doc_.get(), kPlainDeclaration, "UTF-8",
                    [&](xmlSaveCtxt* save, xmlNode* node) {
                      WriteAndFreeRecords(save, out, node, 0, pages, wanted);
                      return true;
                    });
  return out.TakeBytes();
}

std::string Tree::TakeDocumentMarkup(bool return_freed_pages, const std::vector<xmlNode*>& sections,
                                     std::vector<Span>& spans) {
  spans.clear();
  return TakeMarkup(return_freed_pages, {&sections, &spans});
}

std::optional<std::string> Tree::Utf8FileDeclaration() const {
  if (declaration_.empty()) {
    if (doc_->encoding != nullptr && AnsiUpperCase(Chars(doc_->encoding)) != "UTF-8") return {};
    return std::string(kPlainDeclaration);
  }
  const std::string encoding = DeclaredEncoding(declaration_);
  if (!encoding.empty() && AnsiUpperCase(encoding) != "UTF-8") return {};
  return declaration_;
}

std::string Tree::FileBytes() const {
  SaveOutput out;
  WriteFile(out);
  return out.TakeBytes();
}

void Tree::WriteFileBytes(const ByteSink& sink) const {
  SaveOutput out(&sink);
  WriteFile(out);
  out.Flush();
}

void Tree::WriteFile(SaveOutput& out) const {
  // A UTF-8 file is the markup under its declaration, which SaveThenTakeXML relies on.
  if (const std::optional<std::string> declaration = Utf8FileDeclaration()) {
    WriteDocumentText(out, doc_.get(), *declaration, "UTF-8");
    return;
  }
  std::string encoding = DeclaredEncoding(declaration_);
  if (!declaration_.empty() && AsciiCompatible(encoding)) {
    // The declaration goes out as the document wrote it; the content follows in the
    // encoding it names, characters outside it as character references.
    WriteDocumentText(out, doc_.get(), declaration_, encoding.c_str());
    return;
  }
  if (declaration_.empty()) {
    // A document in a wide encoding: let the library write declaration and content.
    xmlSaveCtxt* save =
        xmlSaveToIO(AppendToOutput, nullptr, &out, Chars(doc_->encoding), XML_SAVE_NO_EMPTY);
    if (save == nullptr)
      throw XmlCursorError("Unsupported encoding " + std::string(Chars(doc_->encoding)));
    const bool written = xmlSaveDoc(save, doc_.get()) >= 0;
    const bool closed = xmlSaveClose(save) >= 0;
    out.RaiseKept();
    if (!closed || !written) throw XmlCursorError("Out of memory");
    return;
  }
  WriteDocumentText(out, doc_.get(), kPlainDeclaration, "UTF-8");
}

}  // namespace listelo::xml_internal
