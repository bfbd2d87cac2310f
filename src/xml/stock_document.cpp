#include "xml/stock_document.h"

#include <libxml/tree.h>

#include <array>
#include <utility>

#include "platform/text.h"

namespace listelo {
namespace {

std::string Str(std::string_view s) { return std::string(s); }

constexpr std::string_view kRootName = "document";

// At most `limit` characters of a name taken from the file, which may be anything.
std::string Quoted(const xmlChar* utf8, size_t limit) {
  std::string text = Utf8ToAnsi(reinterpret_cast<const char*>(utf8));
  if (text.size() > limit) text = text.substr(0, limit) + "…";
  return text;
}

// How the root element shows in the error: its name, with its namespace when it has one
// (a `document` in a namespace is not the stock database's element either).
std::string RootDescription(const xmlNode* root) {
  std::string text = "<" + Quoted(root->name, 100) + ">";
  if (root->ns != nullptr && root->ns->href != nullptr) {
    text += " (espace de noms \"" + Quoted(root->ns->href, 200) + "\")";
  }
  return text;
}

}  // namespace

std::string SourceFileName(std::string_view target) {
  // Targets whose file name is not the key itself.
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 10> kNames = {{
      {"AUTOSCOUT24", "AutoScout24"},
      {"VPN", "VPN"},
      {"NEOWEBCAR", "NeoWebCar"},
      {"TOPANNONCES", "TopAnnonces"},
      {"RAD1", "InfoPress"},
      {"INFOPRESS", "InfoPress"},
      {"ANNONCESJAUNES", "AnnoncesJaunes"},
      {"AXECIBLES", "AxeCibles"},
      {"LARGUS", "LArgus"},
      {"PVO", "PVO"},
  }};
  std::string_view name = target;
  for (const auto& [key, file] : kNames) {
    if (key == target) name = file;
  }
  return "ExpDatas" + Str(name) + ".xml";
}

std::string SourceDocumentPath(const IniFile& ini, std::string_view target) {
  std::string folder = ini.ReadString("Options", "SourceFolder", kDefaultSourceFolder);
  if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') folder += '\\';
  return folder + SourceFileName(target);
}

void LoadStockDocument(IXMLCursor& cursor, std::string_view file_name) {
  cursor.Load(file_name);
  const xmlNode* root = xmlDocGetRootElement(cursor.XMLDOMDocument());
  const bool stock = root != nullptr && root->ns == nullptr &&
                     reinterpret_cast<const char*>(root->name) == kRootName;
  if (stock) return;
  throw XmlCursorError("Le fichier \"" + Str(file_name) +
                       "\" n'est pas un document de stock : son élément racine est " +
                       (root != nullptr ? RootDescription(root) : std::string("absent")) +
                       " au lieu de <document>. Export arrêté, rien n'est envoyé.");
}

XmlCursorPtr SelectVehicles(IXMLCursor& cursor) { return cursor.Select(kVehiclesPath); }

XmlCursorPtr SelectVehicle(IXMLCursor& cursor, std::string_view id_vo) {
  return cursor.SelectByKey(kVehiclesPath, "idVO", id_vo, KeyKind::kNumber);
}

XmlCursorPtr SelectPhotos(IXMLCursor& cursor) { return cursor.Select(kPhotosPath); }

XmlCursorPtr SelectPhotosOfVehicle(IXMLCursor& cursor, std::string_view id_vo) {
  return cursor.SelectByKey(kPhotosPath, "idVO", id_vo, KeyKind::kNumber);
}

XmlCursorPtr SelectSiteContacts(IXMLCursor& cursor, std::string_view site_key) {
  return cursor.SelectByKey(kSiteContactsPath, "idSite", site_key, KeyKind::kText);
}

XmlCursorPtr SelectSiteContactsBySite(IXMLCursor& cursor, std::string_view town) {
  return cursor.SelectByKey(kSiteContactsPath, "Site", town, KeyKind::kAnyText);
}

XmlCursorPtr SelectEquipmentLabel(IXMLCursor& cursor, std::string_view code) {
  return cursor.SelectByKey(kEquipmentLabelsPath, "AbbrEquip", code, KeyKind::kText);
}

XmlCursorPtr SelectSites(IXMLCursor& cursor) { return cursor.Select(kSitesPath); }

}  // namespace listelo
