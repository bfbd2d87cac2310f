// The XML cursor: every XML document of the program is loaded, searched with XPath,
// edited, serialised and saved through it.
//
// A cursor is a position in a list of nodes of a document. All cursors obtained from
// one document share it (std::shared_ptr), so an edit through any of them is what XML()
// and Save() of all of them write. Two kinds of list occur:
//   - selection lists (Select with an XPath expression, Load, LoadXML, SelectByKey):
//     a snapshot of the matching nodes in document order; deleting a node from the
//     document does not remove it from the list;
//   - child lists (Select("*"), AppendChild, InsertBefore/After, PrependChild,
//     Document, ReplaceWithXMLCursor): the live children of a node.
//
// Text crossing the cursor is Windows-1252; documents are Unicode inside. Values are
// stored verbatim ("&", "<", "]]>" included) and escaped only when written out.
// Elements without content are written with a start and an end tag (<a></a>), never
// as <a/>: the exporters' markup rewrites count on it.
//
// File names are Windows-form paths, turned into host paths by the PathMapper the
// first cursor of a family was created with. Failures raise XmlCursorError.
#pragma once

#include <libxml/tree.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/errors.h"
#include "platform/paths.h"

namespace listelo {

// Every failure of the cursor; what() is the message the run ends with.
class XmlCursorError : public RunError {
 public:
  using RunError::RunError;
};

class IXMLCursor;
using XmlCursorPtr = std::shared_ptr<IXMLCursor>;

// How SelectByKey compares the key with the field: as an XPath number ([f=123]), as an
// XPath string literal ([f='ABC']), or as any text at all (a value looked up, not put
// into an expression: "O'BRIEN" finds its records).
enum class KeyKind { kNumber, kText, kAnyText };

class IXMLCursor {
 public:
  virtual ~IXMLCursor() = default;

  // New element appended under the current node (or, without a document, the root of a
  // new one); the result stands on it. Fails with "TXMLCursor.AppendChild - EOF" when
  // the cursor has no current node.
  virtual XmlCursorPtr AppendChild(std::string_view name, std::string_view text) = 0;
  // One element `name` per entry appended under the current node, in order, each with
  // the entry's text and its attribute `attribute` set to the entry's value: what
  // AppendChild then SetAttribute on each would build, without a cursor per element (a
  // record given fifty such children would otherwise spend most of its time on them).
  struct AttributedText {
    std::string_view attribute_value;
    std::string text;
  };
  virtual void AppendChildren(std::string_view name, std::string_view attribute,
                              const std::vector<AttributedText>& children) = 0;
  // Deep copies of all of `other`'s nodes appended under the current node.
  virtual void AppendXMLCursor(IXMLCursor& other) = 0;
  // Markup of the current node's parent.
  virtual std::string ContainerXML() = 0;
  virtual int Count() = 0;
  // Removes the current node from the document (the cursor keeps standing on it when
  // its list is a snapshot, so Next continues with the following one).
  virtual void Delete() = 0;
  // Cursor over the document's top-level nodes; null without a document.
  virtual XmlCursorPtr Document() = 0;
  // The end test ("EOF"; the name is a macro of the C library).
  virtual bool Eof() const = 0;
  virtual void First() = 0;
  virtual std::string GetName() = 0;
  // Text of the first node that the relative expression `name` selects under the
  // current node ("." the node itself, "@a" an attribute); "" when none or at the end.
  virtual std::string GetValue(std::string_view name) = 0;
  virtual XmlCursorPtr InsertBefore(std::string_view name, std::string_view text) = 0;
  virtual XmlCursorPtr InsertAfter(std::string_view name, std::string_view text) = 0;
  virtual void Last() = 0;
  // Parses a file (Windows-form name) into the cursor's document.
  virtual void Load(std::string_view file_name) = 0;
  // Parses a text into the cursor's document. The text is taken as it is held; an
  // encoding named in its declaration is kept for Save. The cursor lets go of its former
  // document first (it lives on only as long as other cursors over it do), so a large
  // document and its rewritten form are not both held; a text that does not parse leaves
  // the cursor without a document.
  virtual void LoadXML(std::string_view text) = 0;
  // Raises what LoadXML(text) would raise, without building the document: markup that
  // an exporter writes as it is can be checked to read back, at the cost of a read that
  // keeps nothing. The cursor and its document stay as they are, untouched: another
  // thread may make the check while this one goes on with them.
  virtual void CheckXML(std::string_view text) = 0;
  // Lets go of the document, as LoadXML does before it parses: a caller that has taken
  // the document's markup to rewrite it and read it back frees the old form first.
  // The document lives on as long as other cursors over it do.
  virtual void ReleaseDocument() = 0;
  virtual void MoveTo(int index) = 0;
  virtual void Next() = 0;
  virtual int Position() = 0;
  virtual void ReplaceWithXMLCursor(IXMLCursor& other) = 0;
  // Writes the whole document in the encoding its declaration names (UTF-8 without
  // one), creating the folder chain.
  virtual void Save(std::string_view file_name) = 0;
  // Writes the document, serialised once, to each file in turn, as Save would write it to
  // one after the other: when one cannot be written, those before it are written and
  // those after it are not touched.
  virtual void SaveToEach(const std::vector<std::string>& file_names) = 0;
  // What Save writes, made now without writing it. It only reads the document: another
  // thread may make it while this one goes on reading the document, as long as nothing
  // changes the document meanwhile.
  struct Snapshot {
    bool has_document = false;
    std::string bytes;
  };
  virtual Snapshot TakeSnapshot() = 0;
  // Writes a snapshot as Save writes the document (nothing without a document).
  virtual void Save(std::string_view file_name, const Snapshot& snapshot) = 0;
  // Writes what Save would write after LoadXML(markup), without parsing the markup: for
  // text that XML() gave, or such text whose tags were renamed or cut whole, which the
  // parser and the serialiser give back unchanged. The file is the markup in the encoding
  // its declaration names (UTF-8 without one), characters outside it as character
  // references. Markup the serialiser would not give back as it stands (see
  // MarkupWritesAsSaved) is parsed and saved. Works with or without a document.
  virtual void SaveMarkup(std::string_view file_name, std::string_view markup) = 0;
  // The same markup written to several files as it is converted, as SaveToEach writes.
  void SaveMarkupToEach(const std::vector<std::string>& file_names, std::string_view markup) {
    SaveMarkupToEach(file_names, markup, nullptr);
  }
  // The same, `before_naming` run once the files are written and before they take their
  // names: what it raises leaves every file as it was.
  virtual void SaveMarkupToEach(const std::vector<std::string>& file_names, std::string_view markup,
                                const std::function<void()>& before_naming) = 0;
  // Cursor over the nodes selected from the current node; "*" gives the live child
  // list, an expression starting with "/" searches the whole document.
  virtual XmlCursorPtr Select(std::string_view expression) = 0;
  virtual void SetAttribute(std::string_view name, std::string_view value) = 0;
  // Sets the text of the first node `name` selects (a child element created when
  // missing; "@a" sets an attribute).
  virtual void SetValue(std::string_view name, std::string_view value) = 0;
  virtual void SetValueAsCDATA(std::string_view name, std::string_view value) = 0;
  // Markup of the current node, or of the whole document ("<?xml version="1.0"?>",
  // line feed, root) when the current node is the root element.
  virtual std::string XML() = 0;
  // What XML() gives, the cursor letting go of its document as ReleaseDocument does. When
  // no other cursor holds the document, the whole document's markup is made as the tree
  // is freed, record by record: a large stock is never held as a tree and as markup at
  // once.
  //
  // With kReturned the freed pages also go back to the system as the markup grows, which
  // lowers the run's peak only when no tree of the same size is built afterwards (one that
  // is would fault them all in again): for an exporter that writes its markup as it is.
  enum class FreedMemory { kKeptForReuse, kReturned };
  virtual std::string TakeXML(FreedMemory freed) = 0;
  // Save(file_name), then each node that one of `left_out` (absolute expressions) selects
  // deleted as Delete deletes it, then TakeXML(freed): what the three give one after the
  // other. When the cursor stands on the root, the left-out nodes are sections of the root
  // element and Save writes UTF-8, the document is serialised once for both the file and
  // the markup, the sections cut from the markup where they were written.
  virtual std::string SaveThenTakeXML(std::string_view file_name,
                                      const std::vector<std::string_view>& left_out,
                                      FreedMemory freed) = 0;
  // The libxml2 objects, for callers that need the DOM; valid while the cursor lives.
  virtual xmlDoc* XMLDOMDocument() = 0;
  virtual xmlNode* XMLDOMNode() = 0;
  std::string Values(std::string_view name) { return GetValue(name); }
  void Values(std::string_view name, std::string_view value) { SetValue(name, value); }
  // Indented markup of the current node, without declaration.
  virtual std::string PrettyXML() = 0;
  virtual XmlCursorPtr PrependChild(std::string_view name, std::string_view text) = 0;
  virtual void AddChild(std::string_view name, std::string_view text) = 0;

  // Exactly the selection record_path + "[" + field + "=" + key + "]" (kNumber) or
  // record_path + "[" + field + "='" + key + "']" (kText), answered from an index that
  // is built once per document and dropped by edits that can change it.
  // `record_path` is an absolute path of plain element names ("/document/DataVOS/DataVO").
  // The key cannot change what the expression selects:
  //   kNumber: a plain decimal number (blanks around allowed) compares as the number;
  //            an empty key fails as the expression would; anything else matches nothing.
  //   kText:   a key holding "'" fails (the literal would be broken); any other key
  //            compares as the exact string.
  //   kAnyText: every key compares as the exact string, "'" included.
  virtual XmlCursorPtr SelectByKey(std::string_view record_path, std::string_view field,
                                   std::string_view key, KeyKind kind) = 0;
};

class TXMLCursor;

// Creates a fresh cursor: no document, no list, at its end. File names of this cursor
// and of every cursor derived from it are mapped with (a copy of) `paths`.
XmlCursorPtr CreateXmlCursor(const PathMapper& paths);

}  // namespace listelo
