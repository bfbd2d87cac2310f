// PVO: the dealer's whole vehicle file, sold and delivered vehicles included, with
// purchase and sale prices, commissions, seller and buyer. One tab-separated line of 167
// fields per vehicle record behind a header line, in a text file of the user's TEMP
// folder, zipped into the export folder and uploaded to the target's gateway. Photos are
// only referenced, for vehicles not yet delivered; the image server is not touched.
#include <initializer_list>
#include <string>
#include <string_view>

#include "app/run.h"
#include "exporters/export_output.h"
#include "exporters/export_steps.h"
#include "exporters/exporters.h"
#include "platform/host.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "transforms/equipment.h"
#include "transforms/fields.h"
#include "transforms/options.h"
#include "transforms/values.h"
#include "xml/stock_document.h"

namespace listelo {
namespace {

const ConnectionDefaults kGatewayDefaults = {kImageServerDefaults.server, kImageServerDefaults.user,
                                             kImageServerDefaults.password, ""};
constexpr const char* kDefaultClientName = "Dorvane";

// The fields of one record line, each closed by a tab.
class Line {
 public:
  Line(Run& run, IXMLCursor& record, std::string& text) : run_(run), record_(record), text_(text) {}

  std::string Value(std::string_view name) { return record_.GetValue(name); }

  void Text(std::string_view value) { AddTabField(text_, value); }
  void Field(std::string_view name) { Text(Value(name)); }
  void Fields(std::initializer_list<std::string_view> names) {
    for (std::string_view name : names) Field(name);
  }
  void UpperCase(std::string_view name) { Text(AnsiUpperCase(Value(name))); }
  void Price(std::string_view name) { AddTabPrice(text_, Value(name), run_.regional()); }
  void Date(std::string_view name) {
    AddTabDate(text_, Value(name), run_.regional(), run_.host().clock.Now());
  }
  void YesNo(std::string_view name) { AddTabYesNo(text_, Value(name)); }
  void Empty(int count) {
    for (int i = 0; i < count; ++i) Text("");
  }

  Run& run() { return run_; }
  IXMLCursor& record() { return record_; }

 private:
  Run& run_;
  IXMLCursor& record_;
  std::string& text_;
};

// Delivered, ordered, of type 2, on consignment, or plain stock.
std::string StockStatus(Line& line) {
  if (!line.Value("DateLivraison").empty()) return "LI";
  if (!line.Value("DateOrdre").empty()) return "CL";
  if (line.Value("TypeVO") == "2") return "VD";
  if (line.Value("FlagDepotVente") == "True") return "DV";
  return "ST";
}

std::string Origin(Line& line) {
  const std::string origin = line.Value("Origine");
  if (origin == "VN" || origin == "VO") return origin;
  if (origin == "AC") return "AD";
  if (line.Value("TypeVO") == "2") return "VD";
  if (line.Value("FlagDepotVente") == "True") return "DV";
  return "ND";
}

// A code of the stock database and what the file says for it.
struct Mapping {
  std::string_view from;
  std::string_view to;
};

template <size_t N>
std::string Map(std::string_view value, const Mapping (&table)[N], std::string_view otherwise) {
  for (const Mapping& m : table) {
    if (m.from == value) return std::string(m.to);
  }
  return std::string(otherwise);
}

// Looked up upper-cased.
constexpr Mapping kDestinations[] = {
    {"PARTICULIERS", "LIPAR"}, {"MARCHANDS", "LIMARC"}, {"VHU", "LIDESTR"}};
constexpr Mapping kFuels[] = {
    {"ESSENCE", "ES"}, {"DIESEL", "GO"}, {"GPL", "GP"}, {"ELECTRIQUE", "EL"}};
constexpr Mapping kGearboxes[] = {{"MANUELLE", "M"}, {"AUTOMATIQUE", "A"}};
// Looked up as they stand.
constexpr Mapping kTitles[] = {
    {"1", "Mme"}, {"2", "Melle"}, {"3", "M."}, {"4", "M. et Mme"}, {"5", "Société"}};
constexpr Mapping kBuyerTypes[] = {{"Particuliers", "P"}, {"Marchands", "M"}};

std::string MapUpperCase(Line& line, std::string_view name, const auto& table,
                         std::string_view otherwise) {
  return Map(AnsiUpperCase(line.Value(name)), table, otherwise);
}

// The year of first registration; a date that does not read counts as 1899, as the
// date fields write it.
std::string RegistrationYear(Line& line) {
  const std::string date = line.Value("MEC");
  if (date.empty()) return "";
  CalendarDate read;
  if (!ReadShortDate(date, line.run().regional(), line.run().host().clock.Now(), read)) {
    return "1899";
  }
  return std::to_string(read.year);
}

std::string VehicleClass(Line& line) {
  return AnsiUpperCase(line.Value("TypeCarrosserie")) == "FOURGON" ? "VU" : "VP";
}

std::string Country(Line& line) {
  const std::string country = AnsiUpperCase(line.Value("CliPays"));
  return country == "FRANCE" ? "" : country;
}

// Private buyer or trader, as the destination says in its own letter case.
std::string BuyerType(Line& line) {
  if (line.Value("Acheteur").empty()) return "";
  return Map(line.Value("Destination"), kBuyerTypes, "");
}

// The labels of the three equipment lists taken as one list, joined by "||".
std::string EquipmentLabels(Line& line) {
  const std::string codes =
      ReplaceAll(line.Value("InfoEquiInterieur") + line.Value("InfoEquiExterieur") +
                     line.Value("InfoEquiSecurite"),
                 ";;", ";");
  return ReplaceAll(ExpandEquipment(line.record(), codes), ", ", "||");
}

// All the vehicle's photos.
std::string PhotoAddresses(Line& line, IXMLCursor& main) {
  std::string joined;
  for (const std::string& address :
       VehiclePhotoAddresses(line.run(), main, line.Value("idVO"), kAllPhotos)) {
    if (!joined.empty()) joined += ',';
    joined += address;
  }
  return joined;
}

std::string OrElse(std::string value, std::string fallback) {
  return value.empty() ? fallback : value;
}

// Fields 1 to 32: the vehicle.
void AddVehicle(Line& line) {
  line.Field("idVO");  // 1
  line.Text("X");
  line.Text(StockStatus(line));
  line.Text(Origin(line));
  line.Text(MapUpperCase(line, "Destination", kDestinations, "LI"));  // 5
  line.UpperCase("Immatriculation");
  line.Date("DateCarteGrise");
  line.Date("MEC");
  line.Text(RegistrationYear(line));
  line.Text(FullMakeName(AnsiUpperCase(line.Value("IMarque"))));  // 10
  line.Field("IVersion");
  line.UpperCase("NChassis");
  line.Field("NbPlaces");
  line.Text(MapUpperCase(line, "Energie", kFuels, ""));
  line.Field("CV");  // 15
  line.Field("TypeCarrosserie");
  line.Empty(1);
  line.Text(line.Value("NbPortes").substr(0, 1));
  line.Text(VehicleClass(line));
  line.UpperCase("CNIT");  // 20
  line.Field("Kilometrage");
  line.Empty(1);
  line.Fields({"InfoCouleur", "InfoCouleurInt", "TypeSellerie"});  // 23 to 25
  line.Date("DateEntree");
  line.Date("DateEntree");
  line.Date("DateOrdre");
  line.Date("DateOrdre");
  line.Field("KW");  // 30
  line.Text(MapUpperCase(line, "TypeBoiteVitesse", kGearboxes, ""));
  line.Field("NbVitesses");
}

// Fields 33 to 95: prices, warranty, codes, delivery, sites and seller.
void AddSale(Line& line) {
  line.Price("PrixReprise");  // 33
  line.Price("TVAReprise");
  line.Empty(4);
  line.Price("TPVO");  // 39
  line.Price("PrixVente");
  line.Price("TVAVente");
  line.Empty(4);
  line.Price("PrixVente");  // 46
  line.Price("MtComVendeur");
  line.Price("MtComIntermediaire");
  const std::string guarantee = line.Value("Garantie");
  line.Text(guarantee.empty() ? "" : guarantee + line.Value("TypeGarantie"));
  line.Text(TrimBlanks(std::string_view(guarantee).substr(0, 2)));  // 50
  line.Fields({"DateControleTechnique", "FlagAccident", "CodeAutoRadio", "CodeAntiDemarrage",
               "SegmentArgus"});  // 51 to 55
  line.Empty(13);
  line.Date("DateLivraison");  // 69
  line.Empty(3);
  line.YesNo("PremiereMain");  // 73
  line.Empty(13);
  line.Field("LibSoc");  // 87
  line.Empty(1);
  line.Field("LibSocExpo");
  line.Empty(1);
  line.Field("LieuStockage");
  line.Field("OrigineVendeur");
  line.Text(OrElse(line.Value("OrigineVendeurNom"), line.Value("OrigineVendeur")));
  const std::string seller = line.Value("Vendeur");
  const std::string seller_code = AnsiUpperCase(seller) == "SELECT" ? "" : seller;
  line.Text(seller_code);  // 94
  line.Text(OrElse(line.Value("VendeurNom"), seller_code));
}

// Fields 96 to 143: the buyer and the reconditioning costs.
void AddBuyer(Line& line) {
  line.Empty(21);
  line.Text(Map(line.Value("CliCivilite"), kTitles, ""));  // 117
  line.Empty(1);
  line.Text(OrElse(line.Value("CliNom"), line.Value("Acheteur")));
  line.Field("CliPrenom");  // 120
  line.Empty(1);
  line.Text(line.Value("CliAdresse1") + line.Value("CliAdresse2"));
  line.Field("CliCP");
  line.Field("CliVille");
  line.Text(Country(line));                                                    // 125
  line.Fields({"CliTelDom", "CliTelBur", "CliMobile", "CliFax", "CliEmail"});  // 126 to 130
  line.Empty(2);
  line.Date("CliDateNaissance");  // 133
  line.Empty(3);
  line.Text(BuyerType(line));  // 137
  line.Empty(3);
  line.Price("FrevoTotal");  // 141
  line.Price("FrevoPrevision");
  line.Price("Frevo");
}

// Fields 144 to 167: equipment, options, engine, and the photos of a vehicle still
// for sale.
void AddEquipment(Line& line, IXMLCursor& main) {
  line.Text(EquipmentLabels(line));  // 144
  line.Text(UpperCaseItems(line.Value("Options3270"), "||"));
  line.Empty(9);
  line.Field("idNVO");  // 155
  line.Empty(1);
  line.Field("Cylindree");
  line.Empty(4);
  line.Field("Provenance");  // 162
  line.Field("idVO");
  line.Field("CO2");
  line.Empty(1);
  const bool delivered = !line.Value("DateLivraison").empty();
  line.Text(delivered ? "" : PhotoAddresses(line, main));  // 166
  line.Empty(1);
}

void AddRecordLine(Run& run, IXMLCursor& main, IXMLCursor& record, std::string& lines) {
  ++run.state.vehicle_count;
  Line line(run, record, lines);
  AddVehicle(line);
  AddSale(line);
  AddBuyer(line);
  AddEquipment(line, main);
  lines += "\r\n";
}

}  // namespace

void ExportPVO(Run& run) {
  const std::string& target = run.state.export_target;
  LoadConnectionFields(run, kGatewayDefaults);
  EnsureFolder(run, run.WindowsFolder() + "\\TEMP\\PVO");
  // The archive is built there: a fresh machine has no such folder yet.
  EnsureFolder(run, ExportFolder(run));
  const std::string client_name = run.Config(target, "idClient", kDefaultClientName);
  const std::string text_file =
      UserTempFolder(run.host().environment) + "\\" + client_name + ".txt";
  const std::string archive = ExportFolder(run) + "\\" + client_name + ".zip";

  XmlCursorPtr main = LoadSourceDocument(run, target);
  XmlCursorPtr records = SelectVehicles(*main);
  ResetCounters(run);

  std::string lines;
  for (; !records->Eof(); records->Next()) {
    AddRecordLine(run, *main, *records, lines);
    run.window().ProcessEvents();
  }
  const std::string header = "??\t1.0\t" + run.FormatNow("yyyymmddhhnnss") + "\r\n";

  // The file names buyers, their addresses and dates of birth: its owner alone reads it.
  WriteDeliveryFile(run, text_file, header + lines, FilePrivacy::kOwnerOnly);
  PackArchive(run, archive, {text_file});
  DeliverArchive(run, archive);
  FinishRun(run);
}

}  // namespace listelo
