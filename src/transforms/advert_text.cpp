#include "transforms/advert_text.h"

#include "platform/text.h"
#include "transforms/contact.h"
#include "transforms/equipment.h"

namespace listelo {

std::string AdjustWarrantyCodes(std::string_view options, std::string_view warranty) {
  std::string adjusted(options);
  if (!warranty.empty() && adjusted.find(";Gar;") == std::string::npos) {
    adjusted += adjusted.ends_with(';') ? "Gar;" : ";Gar;";
  }
  if (adjusted.find(";Gar;") != std::string::npos &&
      adjusted.find(";GarCons;") != std::string::npos) {
    adjusted = AnsiReplaceAllIgnoreCase(adjusted, ";Gar;", ";");
  }
  return adjusted;
}

EquipmentLists ReadEquipmentLists(IXMLCursor& record) {
  return {record.GetValue("EqutInterieur"), record.GetValue("EqutExterieur"),
          record.GetValue("EqutSecurite"),
          AdjustWarrantyCodes(record.GetValue("InfoComplement"), record.GetValue("Garantie"))};
}

std::optional<CalendarDate> WarrantyEndDate(int months, const DateTime& today) {
  if (months < 1) return std::nullopt;
  const long long end_year = today.year + (today.month - 1 + static_cast<long long>(months)) / 12;
  if (end_year > 9999) return std::nullopt;
  return AddMonths({today.year, today.month, today.day}, months);
}

std::string ComposeDescription(IXMLCursor& record, const EquipmentLists& lists,
                               std::string_view reference) {
  std::string text = record.GetValue("Marque") + " " + record.GetValue("Version") + " (ref:";
  text += reference;
  text += ")\r\n\r\n";
  text += "Carrosserie : " + record.GetValue("TypeVehicule") + "\r\n";
  text += "Puissance : " + record.GetValue("Puissance") + " CV\r\n";
  text += "Couleur : " + record.GetValue("Couleur") + "\r\n";
  text += "Boite : " + record.GetValue("TypeBoiteVitesse") + "\r\n";
  text += "Mise en Circulation : " + record.GetValue("MEC") + "\r\n\r\n";
  text += EquipmentLabelText(record, {{lists.interior, " - Equipements Intérieurs : ", "\r\n\r\n"},
                                      {lists.exterior, " - Equipements Extérieurs : ", "\r\n\r\n"},
                                      {lists.safety, " - Equipements Sécurité : ", "\r\n\r\n"}});

  std::string options = ExpandEquipment(record, lists.options);
  const std::string warranty = record.GetValue("Garantie");
  if (!warranty.empty()) {
    options = AnsiReplaceAllIgnoreCase(options, "Sous Garantie", "Garantie : " + warranty);
  }
  if (!options.empty()) text += " - " + options + "\r\n";

  text += "\r\n" + ContactPhrase(record.GetValue("NomContact")) + record.GetValue("telephone") +
          "\r\n\r\n";
  return text;
}

void AdvertColumns::Photos(const std::vector<std::string>& addresses, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    Value("Photo" + std::to_string(i + 1), i < addresses.size() ? addresses[i] : "");
  }
}

}  // namespace listelo
