#include "exporters/quoted_advert.h"

#include "app/files.h"
#include "app/run.h"
#include "exporters/export_output.h"
#include "exporters/export_steps.h"
#include "transforms/contact.h"
#include "transforms/values.h"

namespace listelo {

AdvertVehicle PrepareAdvertVehicle(const Run& run, IXMLCursor& document, IXMLCursor& record) {
  AdvertVehicle vehicle;
  const std::string make = record.GetValue("Marque");
  vehicle.reference = RecordAdReference(run, record, make) + "-" + record.GetValue("refAnnonce");
  vehicle.lists = ReadEquipmentLists(record);
  if (FullMakeName(make) != make) record.SetValue("Marque", FullMakeName(make));
  ReplaceSiteContact(document, record);
  vehicle.photos = VehiclePhotoAddresses(run, document, record.GetValue("idVO"), kAdvertPhotos);
  return vehicle;
}

void DeliverQuotedFile(Run& run, std::string_view text, const std::string& base,
                       std::string_view suffix) {
  WriteAnsiStringToFile(run, text, base + "-" + run.FormatNow("yyyymmddhhnn") + ".csv");
  const std::string delivery_file = base + ".csv";
  WriteDeliveryFile(run, delivery_file, text);
  const std::string archive = base + ".zip";
  PackArchive(run, archive, {delivery_file});
  DeliverArchive(run, archive, suffix);
}

}  // namespace listelo
