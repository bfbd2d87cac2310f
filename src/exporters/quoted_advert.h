// The vehicle steps that the quoted-column portals (AnnoncesJaunes, AxeCibles) take
// alike before writing a vehicle's columns.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "transforms/advert_text.h"
#include "xml/xml_cursor.h"

namespace listelo {

class Run;

// Both portals show six photos.
inline constexpr size_t kAdvertPhotos = 6;

struct AdvertVehicle {
  std::string reference;            // BuildAdReference of the make as read + "-" + refAnnonce
  EquipmentLists lists;             // the options with the warranty code worked in
  std::vector<std::string> photos;  // addresses of the first kAdvertPhotos photos
};

// Reads what the columns take besides the fields, and writes into the record what the
// advertisement shows: "Volkswagen" for the make "VW" (after the reference has taken the
// make as read) and the site's public telephone and e-mail (ReplaceSiteContact).
AdvertVehicle PrepareAdvertVehicle(const Run& run, IXMLCursor& document, IXMLCursor& record);

// The file's way out, `base` being the export folder + "\" + the portal's file name:
// the text is written to the dated copy base + "-yyyymmddhhnn.csv" (best-effort) and to
// base + ".csv", which alone is zipped into base + ".zip" and delivered; the closing line
// ends with `suffix`. When base + ".csv" cannot be written the run stops (IoError) before
// anything is packed: the archive would carry an old file, or none, as today's stock.
void DeliverQuotedFile(Run& run, std::string_view text, const std::string& base,
                       std::string_view suffix = {});

}  // namespace listelo
