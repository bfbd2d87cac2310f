#include "xml/xml_cursor.h"

#include <libxml/xmlerror.h>
#include <libxml/xpathInternals.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <system_error>

#include "app/files.h"
#include "platform/text.h"
#include "xml/xml_document.h"

namespace listelo {
namespace {

namespace fs = std::filesystem;
using xml_internal::Tree;

constexpr const char* kCrLf = "\r\n";

const xmlChar* Xml(const std::string& s) { return reinterpret_cast<const xmlChar*>(s.c_str()); }
const char* Chars(const xmlChar* s) { return reinterpret_cast<const char*>(s); }

// What all cursors derived from one cursor share: the document (absent until one is
// loaded or built) and the path mapping of its file names.
struct DocumentHolder {
  explicit DocumentHolder(PathMapper mapper) : paths(std::move(mapper)) {}
  std::shared_ptr<Tree> tree;
  PathMapper paths;
};

// A cursor's node list: a snapshot of selected nodes, or the live children of a node.
// It keeps the tree of its nodes alive.
class NodeList {
 public:
  static NodeList Snapshot(std::shared_ptr<Tree> tree, std::vector<xmlNode*> nodes) {
    NodeList list(std::move(tree));
    list.nodes_ = std::move(nodes);
    return list;
  }
  static NodeList Children(std::shared_ptr<Tree> tree, xmlNode* parent) {
    NodeList list(std::move(tree));
    list.parent_ = parent;
    return list;
  }

  const std::shared_ptr<Tree>& tree() const { return tree_; }

  int Length() {
    if (parent_ == nullptr) return static_cast<int>(nodes_.size());
    Refresh();
    if (length_ < 0) {
      length_ = 0;
      for (xmlNode* n = parent_->children; n != nullptr; n = n->next) ++length_;
    }
    return length_;
  }

  // The node at `index`; null when out of range.
  xmlNode* Item(int index) {
    if (index < 0) return nullptr;
    if (parent_ == nullptr) {
      return index < static_cast<int>(nodes_.size()) ? nodes_[static_cast<size_t>(index)] : nullptr;
    }
    // Walking a live list forwards costs one step per item, not a walk from the start.
    Refresh();
    if (walk_index_ < 0 || index < walk_index_) {
      walk_index_ = 0;
      walk_node_ = parent_->children;
    }
    while (walk_node_ != nullptr && walk_index_ < index) {
      walk_node_ = walk_node_->next;
      ++walk_index_;
    }
    xmlNode* found = walk_node_;
    if (found == nullptr) walk_index_ = -1;
    return found;
  }

  // Counts a live list in one walk that ends on its last node: standing on the node just
  // appended then takes no second walk.
  void CountToLast() {
    if (parent_ == nullptr) return;
    Refresh();
    length_ = 0;
    walk_node_ = nullptr;
    for (xmlNode* n = parent_->children; n != nullptr; n = n->next) {
      ++length_;
      walk_node_ = n;
    }
    walk_index_ = length_ - 1;
  }

  std::vector<xmlNode*> AllNodes() {
    std::vector<xmlNode*> all;
    for (int i = 0, n = Length(); i < n; ++i) all.push_back(Item(i));
    return all;
  }

 private:
  explicit NodeList(std::shared_ptr<Tree> tree) : tree_(std::move(tree)) {}

  void Refresh() {
    if (version_ == tree_->structure_version()) return;
    version_ = tree_->structure_version();
    length_ = -1;
    walk_index_ = -1;
    walk_node_ = nullptr;
  }

  std::shared_ptr<Tree> tree_;
  std::vector<xmlNode*> nodes_;
  xmlNode* parent_ = nullptr;
  uint64_t version_ = UINT64_MAX;
  int length_ = -1;
  int walk_index_ = -1;
  xmlNode* walk_node_ = nullptr;
};

[[noreturn]] void WrongNodeType() {
  throw XmlCursorError("This operation cannot be performed on a node of this type.");
}

// The DOM's parent: attributes and detached nodes have none.
xmlNode* Parent(xmlNode* node) { return node->type == XML_ATTRIBUTE_NODE ? nullptr : node->parent; }

// The first node each expression selects, when every one found is a section of the root
// element (a child element of it); nothing otherwise.
std::optional<std::vector<xmlNode*>> RootSections(
    Tree& tree, const std::vector<std::string_view>& expressions) {
  xmlNode* root = xmlDocGetRootElement(tree.doc());
  std::vector<xmlNode*> sections;
  for (std::string_view expression : expressions) {
    xmlNode* found = tree.SelectFirst(tree.doc_node(), expression);
    if (found == nullptr) continue;
    if (root == nullptr || found->type != XML_ELEMENT_NODE || found->parent != root) return {};
    if (std::find(sections.begin(), sections.end(), found) == sections.end())
      sections.push_back(found);
  }
  return sections;
}

std::string Content(xmlNode* node) {
  // A field of a record is an element or attribute holding one text, or nothing.
  if (node->type == XML_ELEMENT_NODE || node->type == XML_ATTRIBUTE_NODE) {
    const xmlNode* only = node->children;
    if (only == nullptr) return {};
    if (only == node->last && only->type == XML_TEXT_NODE && only->content != nullptr) {
      return Utf8ToAnsi(Chars(only->content));
    }
  }
  xmlChar* content = xmlNodeGetContent(node);
  if (content == nullptr) return {};
  std::string text = Utf8ToAnsi(Chars(content));
  xmlFree(content);
  return text;
}

bool HasRootElement(xmlNode* doc_node) {
  for (xmlNode* n = doc_node->children; n != nullptr; n = n->next) {
    if (n->type == XML_ELEMENT_NODE) return true;
  }
  return false;
}

// Fails unless `parent` may receive a new child of `child_type`.
void CheckCanHold(xmlNode* parent, xmlElementType child_type) {
  if (parent->type == XML_ELEMENT_NODE) return;
  if (parent->type == XML_DOCUMENT_NODE) {
    if (child_type != XML_ELEMENT_NODE) return;
    if (!HasRootElement(parent)) return;
    throw XmlCursorError("Only one top level element is allowed in an XML document.");
  }
  WrongNodeType();
}

// `name_ansi` in UTF-8, once it is known to be a valid name (`what`: "element",
// "attribute").
std::string ValidName(std::string_view name_ansi, const char* what) {
  std::string name = AnsiToUtf8(name_ansi);
  if (xmlValidateQName(Xml(name), 0) != 0) {
    throw XmlCursorError("The name '" + std::string(name_ansi) + "' is not a valid " + what +
                         " name.");
  }
  return name;
}

xmlNode* NewElementNamed(Tree& tree, const std::string& utf8_name) {
  xmlNode* element = xmlNewDocNode(tree.doc(), nullptr, Xml(utf8_name), nullptr);
  if (element == nullptr) throw XmlCursorError("Out of memory");
  return element;
}

xmlNode* NewElement(Tree& tree, std::string_view name_ansi) {
  return NewElementNamed(tree, ValidName(name_ansi, "element"));
}

// A new last child `utf8_name` of `parent`, holding `text` (Windows-1252).
xmlNode* AppendElement(Tree& tree, xmlNode* parent, const std::string& utf8_name,
                       std::string_view text) {
  xmlNode* element = NewElementNamed(tree, utf8_name);
  tree.Link(parent, nullptr, element);
  if (!text.empty()) tree.ReplaceText(element, AnsiToUtf8(text));
  return element;
}

// A new attribute of `element`; xmlNewProp stores the value verbatim (no entity parsing).
void AddAttribute(xmlNode* element, const std::string& utf8_name, const std::string& utf8_value) {
  if (xmlNewProp(element, Xml(utf8_name), Xml(utf8_value)) == nullptr) {
    throw XmlCursorError("Out of memory");
  }
}

xmlNode* CopyInto(Tree& tree, xmlNode* node) {
  if (node->type == XML_DOCUMENT_NODE) {
    node = xmlDocGetRootElement(reinterpret_cast<xmlDoc*>(node));
    if (node == nullptr) WrongNodeType();
  }
  if (node->type == XML_ATTRIBUTE_NODE || node->type == XML_DTD_NODE) WrongNodeType();
  xmlNode* copy = xmlDocCopyNode(node, tree.doc(), 1);
  if (copy == nullptr) throw XmlCursorError("Out of memory");
  return copy;
}

std::shared_ptr<Tree> NewTree() {
  xml_internal::DocHandle doc(xmlNewDoc(Xml("1.0")));
  if (!doc) throw XmlCursorError("Out of memory");
  return std::make_shared<Tree>(std::move(doc), std::string());
}

[[noreturn]] void FailRead(int code, const std::string& file_name, const std::string& reason) {
  throw XmlCursorError(xml_internal::ParseErrorMessage(code, 0, 0, file_name, "", reason));
}

// The document of a host file, read as the parser goes: a stock file is tens of megabytes,
// which are never held whole beside its tree.
std::shared_ptr<Tree> ParseHostFile(const fs::path& host, const std::string& file_name) {
  std::error_code ec;
  if (!fs::exists(host, ec))
    FailRead(XML_IO_ENOENT, file_name, "The system cannot find the file specified.");
  if (!fs::is_regular_file(host, ec))
    FailRead(XML_IO_LOAD_ERROR, file_name, "The path is not a file.");
  std::shared_ptr<Tree> tree = xml_internal::ParseFile(host, file_name);
  if (!tree) FailRead(XML_IO_LOAD_ERROR, file_name, "The file cannot be read.");
  return tree;
}

// The other cursor's node list (the cursors' internal interface).
std::vector<xmlNode*> NodesOf(IXMLCursor& other);

bool IsXPathBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view TrimXPathBlanks(std::string_view text) {
  while (!text.empty() && IsXPathBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsXPathBlank(text.back())) text.remove_suffix(1);
  return text;
}

// A number token of XPath, with an optional minus: "12", "-3", "1.5", ".5", "7.".
bool IsPlainNumber(std::string_view text) {
  if (!text.empty() && text.front() == '-') text.remove_prefix(1);
  size_t digits = 0;
  size_t i = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  }
  return digits > 0 && i == text.size();
}

bool IsPlainName(std::string_view name) {
  if (name.empty()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    char c = name[i];
    bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    bool other = (c >= '0' && c <= '9') || c == '-' || c == '.';
    if (!letter && !(i > 0 && other)) return false;
  }
  return true;
}

bool IsRecordPath(std::string_view path) {
  if (path.size() < 2 || path.front() != '/') return false;
  path.remove_prefix(1);
  while (true) {
    size_t slash = path.find('/');
    if (!IsPlainName(path.substr(0, slash))) return false;
    if (slash == std::string_view::npos) return true;
    path.remove_prefix(slash + 1);
  }
}

}  // namespace

class TXMLCursor final : public IXMLCursor {
 public:
  explicit TXMLCursor(std::shared_ptr<DocumentHolder> holder) : holder_(std::move(holder)) {}

  XmlCursorPtr AppendChild(std::string_view name, std::string_view text) override {
    if (!holder_->tree) {
      auto tree = NewTree();
      AppendElement(*tree, tree->doc_node(), ValidName(name, "element"), text);
      holder_->tree = tree;
      list_ = NodeList::Children(tree, tree->doc_node());
      First();
      return StandingOnLast(NodeList::Children(tree, tree->doc_node()));
    }
    if (current_ == nullptr) throw XmlCursorError("TXMLCursor.AppendChild - EOF");
    CheckCanHold(current_, XML_ELEMENT_NODE);
    AppendElement(NodeTree(), current_, ValidName(name, "element"), text);
    return StandingOnLast(NodeList::Children(list_->tree(), current_));
  }

  void AppendChildren(std::string_view name, std::string_view attribute,
                      const std::vector<AttributedText>& children) override {
    if (children.empty()) return;
    if (!holder_->tree || current_ == nullptr || current_->type != XML_ELEMENT_NODE) {
      // A new document's root, or a node that may not hold elements: as one by one.
      for (const AttributedText& child : children) {
        AppendChild(name, child.text)->SetAttribute(attribute, child.attribute_value);
      }
      return;
    }
    Tree& tree = NodeTree();
    const std::string element_name = ValidName(name, "element");
    const std::string attribute_name = ValidName(attribute, "attribute");
    for (const AttributedText& child : children) {
      xmlNode* element = AppendElement(tree, current_, element_name, child.text);
      AddAttribute(element, attribute_name, AnsiToUtf8(child.attribute_value));
    }
  }

  void AppendXMLCursor(IXMLCursor& other) override {
    std::vector<xmlNode*> nodes = NodesOf(other);
    if (nodes.empty()) return;
    if (!holder_->tree) {
      if (nodes.size() > 1) {
        throw XmlCursorError(
            "TXMLCursor.AppendXMLCursor - Cannot add XMLCursor to current since it has more than "
            "one element.");
      }
      auto tree = NewTree();
      xmlNode* copy = CopyInto(*tree, nodes.front());
      if (copy->type != XML_ELEMENT_NODE) {
        xmlFreeNode(copy);
        WrongNodeType();
      }
      tree->Link(tree->doc_node(), nullptr, copy);
      holder_->tree = tree;
      list_ = NodeList::Children(tree, tree->doc_node());
      First();
      return;
    }
    if (current_ == nullptr) return;
    Tree& tree = NodeTree();
    for (xmlNode* node : nodes) {
      xmlNode* copy = CopyInto(tree, node);
      try {
        CheckCanHold(current_, copy->type);
      } catch (...) {
        xmlFreeNode(copy);
        throw;
      }
      tree.Link(current_, nullptr, copy);
    }
  }

  std::string ContainerXML() override {
    if (current_ == nullptr) return {};
    xmlNode* parent = Parent(current_);
    if (parent == nullptr) return XML();
    return Utf8ToAnsi(Tree::NodeMarkup(parent));
  }

  int Count() override { return list_ ? list_->Length() : 0; }

  void Delete() override {
    if (current_ == nullptr || Parent(current_) == nullptr) return;
    NodeTree().Detach(current_);
    if (list_) {
      int length = list_->Length();
      if (index_ >= length) index_ = length - 1;
      current_ = list_->Item(index_);
    } else {
      index_ = -1;
      current_ = nullptr;
      end_ = true;
    }
  }

  XmlCursorPtr Document() override {
    if (!holder_->tree) return nullptr;
    auto result = Derived(NodeList::Children(holder_->tree, holder_->tree->doc_node()));
    result->First();
    return result;
  }

  bool Eof() const override { return end_ || index_ == -1; }

  void First() override { MoveTo(0); }

  std::string GetName() override {
    if (current_ == nullptr) return {};
    switch (current_->type) {
      case XML_TEXT_NODE:
        return "#text";
      case XML_CDATA_SECTION_NODE:
        return "#cdata-section";
      case XML_COMMENT_NODE:
        return "#comment";
      case XML_DOCUMENT_NODE:
        return "#document";
      default:
        break;
    }
    std::string name;
    if (current_->ns != nullptr && current_->ns->prefix != nullptr) {
      name = Chars(current_->ns->prefix) + std::string(":");
    }
    if (current_->name != nullptr) name += Chars(current_->name);
    return Utf8ToAnsi(name);
  }

  std::string GetValue(std::string_view name) override {
    if (current_ == nullptr) return {};
    if (name == ".") return Content(current_);
    xmlNode* node = NodeTree().SelectFirst(current_, name);
    return node == nullptr ? std::string() : Content(node);
  }

  XmlCursorPtr InsertBefore(std::string_view name, std::string_view text) override {
    return InsertBeside(name, text, true);
  }

  XmlCursorPtr InsertAfter(std::string_view name, std::string_view text) override {
    return InsertBeside(name, text, false);
  }

  void Last() override { MoveTo(Count() - 1); }

  void Load(std::string_view file_name) override {
    const std::string name(file_name);
    const fs::path host = holder_->paths.ToHost(file_name);
    try {
      Adopt(ParseHostFile(host, name));
    } catch (const XmlCursorError& error) {
      std::error_code ec;
      if (fs::exists(host, ec)) {
        throw XmlCursorError("TXMLCursor.Load FileName: \"" + name + "\"" + kCrLf + error.what());
      }
      throw XmlCursorError("TXMLCursor.Load FileName[" + name + "] does not exists" + kCrLf +
                           error.what());
    }
  }

  void ReleaseDocument() override {
    holder_->tree.reset();
    list_.reset();
    index_ = -1;
    end_ = true;
    current_ = nullptr;
  }

  void LoadXML(std::string_view text) override {
    ReleaseDocument();
    Adopt(xml_internal::Parse(text, "", true));
  }

  void CheckXML(std::string_view text) override { xml_internal::CheckWellFormed(text, "", true); }

  void MoveTo(int index) override {
    index_ = -1;
    end_ = true;
    current_ = nullptr;
    if (!list_) return;
    int length = list_->Length();
    if (length == 0) return;
    if (index < 0 || index >= length) {
      throw XmlCursorError("TXMLCursor.MoveTo - Index out of range: " + std::to_string(index) +
                           "/" + std::to_string(length));
    }
    index_ = index;
    end_ = false;
    current_ = list_->Item(index);
  }

  void Next() override {
    int length = list_ ? list_->Length() : 0;
    if (length == index_ + 1 || !list_) {
      end_ = true;
      return;
    }
    ++index_;
    current_ = list_->Item(index_);
    // A live list that lost nodes behind the cursor: the walk is over (stepping on
    // would never reach the end test above).
    if (current_ == nullptr) end_ = true;
  }

  int Position() override { return index_; }

  void ReplaceWithXMLCursor(IXMLCursor& other) override {
    if (!holder_->tree)
      throw XmlCursorError("TXMLCursor.ReplaceWithXMLCursor - FXMLDOMDocument = nil");
    if (current_ == nullptr || Parent(current_) == nullptr) return;
    xmlNode* parent = Parent(current_);
    Tree& tree = NodeTree();
    for (xmlNode* node : NodesOf(other)) {
      xmlNode* copy = CopyInto(tree, node);
      tree.Link(parent, current_, copy);
    }
    tree.Detach(current_);
    list_ = NodeList::Children(list_->tree(), parent);
    First();
  }

  void Save(std::string_view file_name) override { SaveToEach({std::string(file_name)}); }

  void SaveToEach(const std::vector<std::string>& file_names) override {
    if (!holder_->tree) return;
    WriteFiles(file_names,
               [&](const xml_internal::ByteSink& write) { holder_->tree->WriteFileBytes(write); });
  }

  Snapshot TakeSnapshot() override {
    if (!holder_->tree) return {};
    return {true, holder_->tree->FileBytes()};
  }

  void Save(std::string_view file_name, const Snapshot& snapshot) override {
    if (!snapshot.has_document) return;
    WriteFiles({std::string(file_name)},
               [&](const xml_internal::ByteSink& write) { write(snapshot.bytes); });
  }

  void SaveMarkup(std::string_view file_name, std::string_view markup) override {
    SaveMarkupToEach({std::string(file_name)}, markup);
  }

  using IXMLCursor::SaveMarkupToEach;
  void SaveMarkupToEach(const std::vector<std::string>& file_names, std::string_view markup,
                        const std::function<void()>& before_naming) override {
    // Markup the serialiser would not give back as it stands is read back and saved.
    std::shared_ptr<Tree> reloaded;
    if (!xml_internal::MarkupWritesAsSaved(markup))
      reloaded = xml_internal::Parse(markup, "", true);
    WriteFiles(
        file_names,
        [&](const xml_internal::ByteSink& write) {
          if (reloaded) {
            reloaded->WriteFileBytes(write);
          } else {
            xml_internal::WriteMarkupAsSaved(markup, write);
          }
        },
        before_naming);
  }

  XmlCursorPtr Select(std::string_view expression) override {
    if (current_ == nullptr) return Fresh();
    std::shared_ptr<Tree> tree = list_->tree();
    auto result = Derived(expression == "*"
                              ? NodeList::Children(tree, current_)
                              : NodeList::Snapshot(tree, tree->SelectNodes(current_, expression)));
    result->First();
    return result;
  }

  void SetAttribute(std::string_view name, std::string_view value) override {
    if (current_ == nullptr) return;
    if (current_->type != XML_ELEMENT_NODE) WrongNodeType();
    const std::string utf8_name = ValidName(name, "attribute");
    const std::string utf8_value = AnsiToUtf8(value);
    for (xmlAttr* attr = current_->properties; attr != nullptr; attr = attr->next) {
      if (attr->ns == nullptr && utf8_name == Chars(attr->name)) {
        NodeTree().ReplaceText(reinterpret_cast<xmlNode*>(attr), utf8_value);
        return;
      }
    }
    AddAttribute(current_, utf8_name, utf8_value);
  }

  void SetValue(std::string_view name, std::string_view value) override {
    if (current_ == nullptr) return;
    if (!name.empty() && name.front() == '@') {
      SetAttribute(name.substr(1), value);
      return;
    }
    NodeTree().ReplaceText(FindOrAddChild(name), AnsiToUtf8(value));
  }

  void SetValueAsCDATA(std::string_view name, std::string_view value) override {
    if (current_ == nullptr) return;
    Tree& tree = NodeTree();
    xmlNode* node = FindOrAddChild(name);
    const std::string utf8 = AnsiToUtf8(value);
    if (node->children != nullptr) {
      tree.ReplaceText(node->children, utf8);
      return;
    }
    CheckCanHold(node, XML_CDATA_SECTION_NODE);
    xmlNode* cdata = xmlNewCDataBlock(tree.doc(), Xml(utf8), static_cast<int>(utf8.size()));
    if (cdata == nullptr) throw XmlCursorError("Out of memory");
    tree.Link(node, nullptr, cdata);
  }

  std::string XML() override {
    if (current_ == nullptr) return {};
    xmlNode* parent = Parent(current_);
    if (parent != nullptr && parent->parent != nullptr) {
      return Utf8ToAnsi(Tree::NodeMarkup(current_));
    }
    if (current_->type == XML_ATTRIBUTE_NODE) return Utf8ToAnsi(Tree::NodeMarkup(current_));
    if (!holder_->tree) return {};
    std::string markup = holder_->tree->DocumentMarkup();
    Utf8ToAnsiInPlace(markup);
    return markup;
  }

  std::string TakeXML(FreedMemory freed) override {
    if (!StandsOnWholeDocument() || !holder_->tree) {
      std::string markup = XML();
      ReleaseDocument();
      return markup;
    }
    std::shared_ptr<Tree> tree = holder_->tree;
    ReleaseDocument();
    return MarkupOfReleased(std::move(tree), freed == FreedMemory::kReturned);
  }

  std::string SaveThenTakeXML(std::string_view file_name,
                              const std::vector<std::string_view>& left_out,
                              FreedMemory freed) override {
    std::shared_ptr<Tree> tree = holder_->tree;
    std::optional<std::vector<xmlNode*>> sections;
    if (tree && StandsOnWholeDocument()) sections = RootSections(*tree, left_out);
    if (!sections) {
      Save(file_name);
      for (std::string_view expression : left_out) Select(expression)->Delete();
      return TakeXML(freed);
    }
    const std::optional<std::string> declaration = tree->Utf8FileDeclaration();
    const bool return_pages = freed == FreedMemory::kReturned;
    ReleaseDocument();
    if (declaration && tree.use_count() == 1) {
      // The file is the markup under its own declaration; the sections are cut after.
      std::vector<Tree::Span> spans;
      std::string markup = tree->TakeDocumentMarkup(return_pages, *sections, spans);
      WriteFiles({std::string(file_name)}, [&](const xml_internal::ByteSink& write) {
        write(*declaration);
        write(std::string_view(markup).substr(markup.find('\n')));
      });
      for (auto span = spans.rbegin(); span != spans.rend(); ++span)
        markup.erase(span->begin, span->end - span->begin);
      tree.reset();
      Utf8ToAnsiInPlace(markup);
      return markup;
    }
    WriteFiles({std::string(file_name)},
               [&](const xml_internal::ByteSink& write) { tree->WriteFileBytes(write); });
    for (xmlNode* section : *sections) tree->Detach(section);
    return MarkupOfReleased(std::move(tree), return_pages);
  }

  xmlDoc* XMLDOMDocument() override { return holder_->tree ? holder_->tree->doc() : nullptr; }

  xmlNode* XMLDOMNode() override { return current_; }

  std::string PrettyXML() override {
    if (current_ == nullptr) return {};
    try {
      xmlNode* node = current_;
      if (node->type == XML_DOCUMENT_NODE)
        node = xmlDocGetRootElement(reinterpret_cast<xmlDoc*>(node));
      return node == nullptr ? std::string() : Utf8ToAnsi(Tree::NodeMarkup(node, true));
    } catch (const XmlCursorError& error) {
      throw XmlCursorError(std::string("TXMLCursor.PrettyXML - ") + error.what());
    }
  }

  XmlCursorPtr PrependChild(std::string_view name, std::string_view text) override {
    if (!holder_->tree) return AppendChild(name, text);
    if (current_ == nullptr) return nullptr;
    Tree& tree = NodeTree();
    CheckCanHold(current_, XML_ELEMENT_NODE);
    xmlNode* element = NewElement(tree, name);
    tree.Link(current_, current_->children, element);
    if (!text.empty()) tree.ReplaceText(element, AnsiToUtf8(text));
    auto result = Derived(NodeList::Children(list_->tree(), current_));
    result->First();
    return result;
  }

  void AddChild(std::string_view name, std::string_view text) override { AppendChild(name, text); }

  XmlCursorPtr SelectByKey(std::string_view record_path, std::string_view field,
                           std::string_view key, KeyKind kind) override {
    if (!IsRecordPath(record_path) || !IsPlainName(field)) {
      throw XmlCursorError("TXMLCursor.SelectByKey - not a record path: " +
                           std::string(record_path) + "/" + std::string(field));
    }
    if (current_ == nullptr) return Fresh();
    std::shared_ptr<Tree> tree = list_->tree();
    const std::string path(record_path);
    const std::string field_name(field);
    std::vector<xmlNode*> nodes;
    if (kind == KeyKind::kText || kind == KeyKind::kAnyText) {
      if (kind == KeyKind::kText && key.find('\'') != std::string_view::npos) {
        throw XmlCursorError(
            "Invalid expression: a quote ends the literal early" + std::string(kCrLf) +
            xml_internal::Excerpt(path + "[" + field_name + "='" + std::string(key) + "']"));
      }
      nodes = tree->RecordsWithText(path, field_name, AnsiToUtf8(key));
    } else {
      std::string_view number = TrimXPathBlanks(key);
      if (number.empty()) {
        // "[idVO=]": let the expression fail with the library's own message.
        return Select(path + "[" + field_name + "=" + std::string(key) + "]");
      }
      if (IsPlainNumber(number)) {
        nodes = tree->RecordsWithNumber(path, field_name,
                                        xmlXPathCastStringToNumber(Xml(std::string(number))));
      }
    }
    auto result = Derived(NodeList::Snapshot(tree, std::move(nodes)));
    result->First();
    return result;
  }

  std::vector<xmlNode*> ListNodes() { return list_ ? list_->AllNodes() : std::vector<xmlNode*>(); }

 private:
  // A cursor over a live child list, standing on its last node (the one just appended).
  std::shared_ptr<TXMLCursor> StandingOnLast(NodeList children) const {
    children.CountToLast();
    auto result = Derived(std::move(children));
    result->Last();
    return result;
  }

  std::shared_ptr<TXMLCursor> Derived(NodeList list) const {
    auto cursor = std::make_shared<TXMLCursor>(holder_);
    cursor->list_ = std::move(list);
    return cursor;
  }

  // A cursor as Create makes it, mapping paths as this one does.
  XmlCursorPtr Fresh() const {
    return std::make_shared<TXMLCursor>(std::make_shared<DocumentHolder>(holder_->paths));
  }

  // The tree of the current node (there is a list whenever there is a current node).
  Tree& NodeTree() const { return *list_->tree(); }

  // Takes a freshly parsed tree as the document of every cursor sharing it.
  void Adopt(std::shared_ptr<Tree> tree) {
    holder_->tree = tree;
    xmlNode* root = xmlDocGetRootElement(tree->doc());
    if (root == nullptr) {
      list_.reset();
    } else {
      tree->RegisterRootNamespaces();
      list_ = NodeList::Snapshot(tree, {root});
    }
    First();
  }

  xmlNode* FindOrAddChild(std::string_view name) {
    Tree& tree = NodeTree();
    xmlNode* node = tree.SelectFirst(current_, name);
    if (node != nullptr) return node;
    xmlNode* element = NewElement(tree, name);
    try {
      CheckCanHold(current_, XML_ELEMENT_NODE);
    } catch (...) {
      xmlFreeNode(element);
      throw;
    }
    tree.Link(current_, nullptr, element);
    return element;
  }

  XmlCursorPtr InsertBeside(std::string_view name, std::string_view text, bool before) {
    if (!holder_->tree) return AppendChild(name, text);
    if (current_ == nullptr || Parent(current_) == nullptr) return nullptr;
    xmlNode* parent = Parent(current_);
    Tree& tree = NodeTree();
    CheckCanHold(parent, XML_ELEMENT_NODE);
    xmlNode* element = NewElement(tree, name);
    tree.Link(parent, before ? current_ : current_->next, element);
    if (!text.empty()) tree.ReplaceText(element, AnsiToUtf8(text));
    auto result = Derived(NodeList::Children(list_->tree(), parent));
    int index = 0;
    for (xmlNode* n = parent->children; n != element; n = n->next) ++index;
    result->MoveTo(index);
    return result;
  }

  static XmlCursorError SaveFailure(const std::string& file_name, const RunError& error) {
    return XmlCursorError("TXMLCursor.Save FileName: \"" + file_name + "\"" + kCrLf + error.what());
  }

  // The whole markup, in Windows-1252, of a document this cursor has let go of: the tree
  // is freed as it is written, unless another cursor's list still holds it whole.
  static std::string MarkupOfReleased(std::shared_ptr<Tree> tree, bool return_freed_pages) {
    std::string markup = tree.use_count() == 1 ? tree->TakeDocumentMarkup(return_freed_pages)
                                               : tree->DocumentMarkup();
    tree.reset();
    Utf8ToAnsiInPlace(markup);
    return markup;
  }

  // On the root element or the document node: XML() gives the whole document.
  bool StandsOnWholeDocument() const {
    return current_ != nullptr && current_->type != XML_ATTRIBUTE_NODE &&
           (Parent(current_) == nullptr || Parent(current_)->parent == nullptr);
  }

  // Writes files in one step each from the pieces that `produce` hands to its sink,
  // creating their folder chains. The files come out as if written one after the other:
  // when one cannot be written, those before it are written all the same, those after it
  // are not touched, and the error that names it is raised; a file not written stays as it
  // was. `before_naming` runs between the writing and the naming; what it raises comes
  // first, and no file takes its name.
  void WriteFiles(const std::vector<std::string>& file_names,
                  const std::function<void(const xml_internal::ByteSink&)>& produce,
                  const std::function<void()>& before_naming = nullptr) const {
    std::vector<std::unique_ptr<AtomicFileWriter>> files;
    std::optional<XmlCursorError> failure;
    // The first file that fails ends the list of those still written.
    const auto fail_at = [&](size_t k, const RunError& error) {
      failure = SaveFailure(file_names[k], error);
      files.resize(k);
    };
    for (const std::string& name : file_names) {
      try {
        ForceFolder(WindowsFolderPart(name));
        files.push_back(std::make_unique<AtomicFileWriter>(holder_->paths.ToHost(name)));
      } catch (const RunError& error) {
        fail_at(files.size(), error);
        break;
      }
    }
    produce([&](std::string_view piece) {
      for (size_t k = 0; k < files.size(); ++k) {
        try {
          files[k]->Write(piece);
        } catch (const RunError& error) {
          fail_at(k, error);
        }
      }
    });
    if (before_naming) before_naming();
    for (size_t k = 0; k < files.size(); ++k) {
      try {
        files[k]->Commit();
      } catch (const RunError& error) {
        fail_at(k, error);
      }
    }
    if (failure) throw *failure;
  }

  // Creates a folder and its missing parents; a bare file name has no folder to make.
  void ForceFolder(std::string_view folder) const {
    if (folder.empty()) throw XmlCursorError("Cannot Create Blank Directory");
    const fs::path host = holder_->paths.ToHost(folder);
    std::error_code ec;
    if (fs::is_directory(host, ec)) return;
    fs::create_directories(host, ec);
    if (ec || !fs::is_directory(host)) {
      throw XmlCursorError("Cannot Create Directory \"" + std::string(folder) +
                           "\" : " + (ec ? ec.message() : std::string("not a folder")));
    }
  }

  std::shared_ptr<DocumentHolder> holder_;
  std::optional<NodeList> list_;
  int index_ = -1;
  xmlNode* current_ = nullptr;
  bool end_ = true;
};

namespace {
std::vector<xmlNode*> NodesOf(IXMLCursor& other) {
  auto* cursor = dynamic_cast<TXMLCursor*>(&other);
  if (cursor == nullptr) throw XmlCursorError("TXMLCursor - not a cursor of this library");
  return cursor->ListNodes();
}
}  // namespace

XmlCursorPtr CreateXmlCursor(const PathMapper& paths) {
  return std::make_shared<TXMLCursor>(std::make_shared<DocumentHolder>(paths));
}

}  // namespace listelo
