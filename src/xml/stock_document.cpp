#include "xml/stock_document.h"

#include <array>
#include <utility>

namespace listelo {
namespace {

std::string Str(std::string_view s) { return std::string(s); }

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
