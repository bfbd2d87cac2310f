// The libxml2 side of the XML cursor: one parsed tree with everything that must live
// exactly as long as its nodes (detached nodes, the XPath context, the lookup indexes),
// and the parsing, serialising and key-lookup rules that the cursor builds on.
// Internal to src/xml; exporters use xml/xml_cursor.h.
#pragma once

#include <libxml/tree.h>
#include <libxml/xpath.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "xml/xml_cursor.h"

namespace listelo::xml_internal {

// Takes serialised bytes piece by piece.
using ByteSink = std::function<void(std::string_view)>;
class SaveOutput;
struct SectionSpans;

struct DocDeleter {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
struct XPathContextDeleter {
  void operator()(xmlXPathContext* context) const { xmlXPathFreeContext(context); }
};
struct XPathObjectDeleter {
  void operator()(xmlXPathObject* object) const { xmlXPathFreeObject(object); }
};
using DocHandle = std::unique_ptr<xmlDoc, DocDeleter>;
using XPathObjectHandle = std::unique_ptr<xmlXPathObject, XPathObjectDeleter>;

// The nodes that an absolute record path with a key predicate selects, built once and
// kept until an edit could change the answer.
struct KeyIndex {
  std::unordered_map<std::string, std::vector<xmlNode*>> by_text;  // UTF-8 string value
  std::unordered_map<double, std::vector<xmlNode*>> by_number;     // XPath number value
};

// One parsed document. Nodes removed from it are detached, not freed, so that every
// cursor still holding one (a snapshot list, a current node) stays valid; they are
// freed with the tree, which lives as long as any cursor over one of its nodes.
class Tree {
 public:
  // Takes ownership of a parsed or new document; `declaration` is the XML declaration
  // as the source text wrote it (empty when it had none), `source_size` the size of that
  // text (the serialised document is about as large).
  Tree(DocHandle doc, std::string declaration, size_t source_size = 0);
  ~Tree();
  Tree(const Tree&) = delete;
  Tree& operator=(const Tree&) = delete;

  xmlDoc* doc() const { return doc_.get(); }
  xmlNode* doc_node() const { return reinterpret_cast<xmlNode*>(doc_.get()); }
  // Raised by every node linked into or detached from the tree (live child lists cache
  // their walk against it).
  uint64_t structure_version() const { return structure_version_; }
  const std::string& declaration() const { return declaration_; }

  // Evaluates an XPath expression with `context` as the context node; fails with the
  // library's message. The result is a node set in document order.
  std::vector<xmlNode*> SelectNodes(xmlNode* context, std::string_view expression_ansi);
  xmlNode* SelectFirst(xmlNode* context, std::string_view expression_ansi);

  // Records of `record_path` ("/a/b/c", plain element names) whose child `field` has the
  // given string value, or whose number value equals `number`. Document order.
  const std::vector<xmlNode*>& RecordsWithText(const std::string& record_path,
                                               const std::string& field,
                                               const std::string& utf8_value);
  const std::vector<xmlNode*>& RecordsWithNumber(const std::string& record_path,
                                                 const std::string& field, double value);

  // Edits. Every node that leaves the tree goes through Detach.
  void Detach(xmlNode* node);
  // Replaces the text of an element, attribute or character node with `utf8` verbatim.
  void ReplaceText(xmlNode* node, const std::string& utf8);
  // Links a node created for this document under `parent`, before `before` (null: last).
  void Link(xmlNode* parent, xmlNode* before, xmlNode* node);

  // Serialised markup of one node (no declaration, start and end tags for empty
  // elements), in UTF-8.
  static std::string NodeMarkup(xmlNode* node, bool indent = false);
  // The whole document as XML() renders it: "<?xml version="1.0"?>" and the top-level
  // nodes, in UTF-8.
  std::string DocumentMarkup() const;
  // The same markup, the tree emptied as it is written: every record (a child of a child
  // of the root element) is freed once its markup is made, and the tree is left empty, so
  // that a large document and its markup are never both held whole. Only for a tree that
  // no cursor or list refers to any more.
  // With `return_freed_pages`, the freed pages go back to the system as the markup grows.
  std::string TakeDocumentMarkup(bool return_freed_pages);
  // The same, and where each of `sections` (children of the root element) stands in the
  // markup: [first byte, byte after it), in their document order.
  struct Span {
    size_t begin = 0;
    size_t end = 0;
  };
  std::string TakeDocumentMarkup(bool return_freed_pages, const std::vector<xmlNode*>& sections,
                                 std::vector<Span>& spans);
  // The declaration that Save writes before a text that is the document's markup without
  // its own declaration line (the UTF-8 of DocumentMarkup after its first line), when Save
  // writes such a text: a document that declares UTF-8 or no encoding.
  std::optional<std::string> Utf8FileDeclaration() const;
  // The whole document as Save writes it: bytes in the declared encoding.
  std::string FileBytes() const;
  // The same bytes handed to `sink` in pieces as they are made.
  void WriteFileBytes(const ByteSink& sink) const;

  // The namespace declarations of the root, usable as XPath prefixes.
  void RegisterRootNamespaces();

 private:
  void WriteFile(SaveOutput& out) const;
  std::string TakeMarkup(bool return_freed_pages, const SectionSpans& wanted);
  struct IndexShape {
    std::vector<std::string> steps;
    std::string field;
  };
  KeyIndex& IndexFor(const std::string& record_path, const std::string& field);
  void BuildIndex(const IndexShape& shape, KeyIndex& index) const;
  // Drops the indexes when an edit below `parent` that adds or removes `subtree` (or
  // changes the text of `parent`) can change what they answer.
  void NoteEdit(xmlNode* parent, xmlNode* subtree);
  bool SubtreeHasIndexedName(xmlNode* node) const;

  DocHandle doc_;
  std::string declaration_;
  size_t source_size_ = 0;
  std::unique_ptr<xmlXPathContext, XPathContextDeleter> xpath_;
  std::vector<xmlNode*> detached_;
  uint64_t structure_version_ = 0;
  std::map<std::pair<std::string, std::string>, KeyIndex> indexes_;
  // Element names of the indexed paths and fields, and of the fields alone; looked up by
  // the names of nodes at every edit, without copying them.
  std::set<std::string, std::less<>> indexed_names_;
  std::set<std::string, std::less<>> field_names_;
};

// Parses `bytes` into a tree; `url` names the source in messages. With `ansi_text` the
// bytes are Windows-1252 text handed over in memory, read whatever the declaration says.
// Fails with the parse-error message.
std::shared_ptr<Tree> Parse(std::string_view bytes, const std::string& url_ansi, bool ansi_text);
// Parses the file at `host` as Parse parses its bytes, reading it in pieces as the parser
// goes, so that a large document's text is never held whole beside its tree. Null when the
// file cannot be opened or read to its end.
std::shared_ptr<Tree> ParseFile(const std::filesystem::path& host, const std::string& url_ansi);
// Raises what Parse raises for `bytes`, without building a tree.
void CheckWellFormed(std::string_view bytes, const std::string& url_ansi, bool ansi_text);

// Writes Windows-1252 markup as Save writes the document that Parse(markup, "", true)
// gives, without parsing it: for markup that XML() gave, or such markup whose tags were
// renamed or cut whole, which the parser and the serialiser give back unchanged. The
// declaration goes out as written, the content in the encoding it names (UTF-8 without
// one), turned into it by the library's own encoder: characters outside it become the
// character references the serialiser writes.
void WriteMarkupAsSaved(std::string_view markup, const ByteSink& sink);
// Whether WriteMarkupAsSaved gives what saving the parsed markup gives. Not for an encoding
// the library lacks or that is not ASCII-compatible, nor for markup with hexadecimal
// character references, which the serialiser writes only in a document that declares no
// encoding, and would not write again once the markup declares one.
bool MarkupWritesAsSaved(std::string_view markup);

// At most kExcerptLimit characters of a text an error message quotes (an expression
// built from a record's field, the library's reason), then how many were left out: a
// field of megabytes must not become a message of megabytes in the log and the output.
inline constexpr size_t kExcerptLimit = 300;
std::string Excerpt(std::string_view text);

// The parse-error message: "Error <code> on line <l>, char <c> in "<url>"" CR LF source
// line CR LF reason (the reason cut as an excerpt).
std::string ParseErrorMessage(int code, int line, int column, std::string_view url_ansi,
                              std::string_view source_line, std::string_view reason);

}  // namespace listelo::xml_internal
