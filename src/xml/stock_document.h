// The source stock document: the XML file per target that the stock database writes
// before each run, and the selections that the exporters share over it.
//
// The lookups by key answer exactly what the XPath selections in their comments would,
// from an index built once per document (see IXMLCursor::SelectByKey), so a photo loop
// over a large stock does not rescan the vehicles for every photo.
#pragma once

#include <string>
#include <string_view>

#include "app/ini_file.h"
#include "xml/xml_cursor.h"

namespace listelo {

// The folder the stock database writes to, unless Options/SourceFolder names another.
inline constexpr std::string_view kDefaultSourceFolder = "c:\\projects\\Quarno\\data\\Listelo\\";

// Record paths and sections of the document.
inline constexpr std::string_view kVehiclesPath = "/document/DataVOS/DataVO";
inline constexpr std::string_view kPhotosPath = "/document/LiensImagesS/LiensImages";
inline constexpr std::string_view kSiteContactsPath = "/document/InfosSRS/InfosSR";
inline constexpr std::string_view kEquipmentLabelsPath =
    "/document/LiensEquipementsS/LiensEquipements";
inline constexpr std::string_view kSitesPath = "/document/COORDONNEESS/COORDONNEES";
inline constexpr std::string_view kPhotosSection = "/document/LiensImagesS";
inline constexpr std::string_view kEquipmentLabelsSection = "/document/LiensEquipementsS";
inline constexpr std::string_view kAliasesSection = "/document/Aliases";

// The source file name of a target key (upper case): "ExpDatasAutoScout24.xml" for
// AUTOSCOUT24, "ExpDatasInfoPress.xml" for RAD1 and INFOPRESS, ..., and
// "ExpDatas" + key + ".xml" for PARUVENDU, AUTOREFLEX, SITAUTOPRO, LEBONCOIN (and any
// other key).
std::string SourceFileName(std::string_view target);

// The Windows-form path of a target's source document: Options/SourceFolder (default
// kDefaultSourceFolder; a missing trailing "\" is added) + SourceFileName(target).
std::string SourceDocumentPath(const IniFile& ini, std::string_view target);

// Loads the source stock document `file_name` (a Windows-form path) into the cursor.
// Raises the cursor's error when the file is missing or malformed, and XmlCursorError
// naming the file and the root it found when the root element is not a plain
// `document`: any other XML file (a web server's error page, another program's export)
// would read as a stock without vehicles, and a portal taking the file for the whole
// stock would withdraw every advertisement. A `document` without vehicles stays a
// valid, empty stock.
void LoadStockDocument(IXMLCursor& cursor, std::string_view file_name);

// "/document/DataVOS/DataVO": every vehicle.
XmlCursorPtr SelectVehicles(IXMLCursor& cursor);
// "/document/DataVOS/DataVO[idVO=" + id_vo + "]". A plain number (blanks around it
// allowed) compares as a number; any other non-empty value matches no vehicle; an empty
// one fails as that expression does.
XmlCursorPtr SelectVehicle(IXMLCursor& cursor, std::string_view id_vo);
// "/document/LiensImagesS/LiensImages": every photo record.
XmlCursorPtr SelectPhotos(IXMLCursor& cursor);
// "/document/LiensImagesS/LiensImages[idVO=" + id_vo + "]", with SelectVehicle's rules.
XmlCursorPtr SelectPhotosOfVehicle(IXMLCursor& cursor, std::string_view id_vo);
// "/document/InfosSRS/InfosSR[idSite='" + site_key + "']". A key holding "'" fails.
XmlCursorPtr SelectSiteContacts(IXMLCursor& cursor, std::string_view site_key);
// The InfosSR records whose Site is exactly `town`, as "/document/InfosSRS/InfosSR[Site='"
// + town + "']" selects them (TopAnnonces); a town with an apostrophe, which would break
// that expression, finds its records too.
XmlCursorPtr SelectSiteContactsBySite(IXMLCursor& cursor, std::string_view town);
// "/document/LiensEquipementsS/LiensEquipements[AbbrEquip='" + code + "']". A code
// holding "'" fails.
XmlCursorPtr SelectEquipmentLabel(IXMLCursor& cursor, std::string_view code);
// "/document/COORDONNEESS/COORDONNEES": the dealer's sites.
XmlCursorPtr SelectSites(IXMLCursor& cursor);

}  // namespace listelo
