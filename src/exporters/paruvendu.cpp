// ParuVendu and AutoReflex: both portals take the stock as XML close to the source
// document. Each vehicle record is edited in place (reference, model, seller contact,
// equipment labels, photo addresses), the auxiliary sections go, a few element names
// are rewritten in the markup, and the result is saved twice in the export folder: a
// dated copy that stays, and DorvaneDatasVO-yyyymmdd.xml that is uploaded to the
// target's gateway. Every photo is checked on the image server on the way.
#include <filesystem>
#include <string>
#include <vector>

#include "app/run.h"
#include "delivery/ftp_delivery.h"
#include "exporters/export_steps.h"
#include "exporters/exporters.h"
#include "photos/image_sync.h"
#include "platform/text.h"
#include "transforms/contact.h"
#include "transforms/equipment.h"
#include "transforms/markup.h"
#include "transforms/values.h"
#include "xml/stock_document.h"

namespace listelo {
namespace {

const ConnectionDefaults kGatewayDefaults = {
    "images.concession.invalid", "annonceur@passerelle.paruvendu.invalid", "PlaceHold1", ""};

constexpr const char* kSlotPrefix = "NomPhoto";
constexpr int kPhotoSlots = 6;
constexpr const char* kEquipmentFields[] = {"EqutInterieur", "EqutExterieur", "EqutSecurite",
                                            "InfoComplement"};

std::string SlotName(int slot) { return kSlotPrefix + std::to_string(slot); }

// An empty slot as the document is written, with a start and an end tag, and as the
// rewritten markup carries it, an empty-element tag.
TextReplacement EmptySlotAsOneTag(int slot) {
  const std::string name = SlotName(slot);
  return {"<" + name + "></" + name + ">", "<" + name + "/>"};
}

void RewriteVehicle(Run& run, IXMLCursor& main, IXMLCursor& record, std::string_view target,
                    bool expand_equipment) {
  ++run.state.vehicle_count;
  record.SetValue("ModeleVersion", StripMakeFromModel(record.GetValue("ModeleVersion"),
                                                      record.GetValue("SousRubrique")));
  const std::string reference = RecordAdReference(run, record, record.GetValue("Rubrique"));
  record.SetValue("idNVO", reference + "-" + record.GetValue("idNVO"));
  ReplaceSiteContact(main, record);
  if (expand_equipment) {
    for (const char* field : kEquipmentFields) {
      record.SetValue(field, ExpandEquipment(record, record.GetValue(field)));
    }
  }
  if (target == "PARUVENDU") {
    record.SetValue("nomvendeur",
                    record.GetValue("nomvendeur") + " au " + record.GetValue("telephone"));
  }
}

// The photo's web address goes into the vehicle's first empty slot; when all six are
// taken it goes nowhere. Every photo is checked on the image server all the same.
void AttachPhoto(Run& run, IXMLCursor& main, IXMLCursor& photo) {
  ++run.state.photo_count;
  const std::string name = photo.GetValue("NomImage");
  XmlCursorPtr vehicle = SelectVehicle(main, photo.GetValue("idVO"));
  if (!vehicle->Eof())
    FillFirstEmptySlot(*vehicle, kSlotPrefix, kPhotoSlots, PhotoAddress(run, name));
  SyncImage(run, name + ".jpg");
}

// Photo slots become Photo elements numbered by their slot, idNVO becomes id-VO, and the
// fields the portal does not take are cut out of the markup.
std::string RewriteMarkup(std::string text) {
  // The tag renamings, in their order: an empty slot keeps its name (it is written as an
  // empty-element tag, which neither of the slot renamings below matches), then the end
  // tags and start tags of the slots, then idNVO. They are made in one scan: each pattern
  // is a whole tag, or an empty slot's pair of tags, so no two matches can overlap, and no
  // renamed tag is one of the patterns, so no renaming can make or break another's match.
  std::vector<TextReplacement> renamings;
  for (int slot = 1; slot <= kPhotoSlots; ++slot) renamings.push_back(EmptySlotAsOneTag(slot));
  for (int slot = 1; slot <= kPhotoSlots; ++slot)
    renamings.push_back({"</" + SlotName(slot) + ">", "</Photo>"});
  for (int slot = 1; slot <= kPhotoSlots; ++slot) {
    renamings.push_back(
        {"<" + SlotName(slot) + ">", "<Photo Num=\"" + std::to_string(slot) + "\">"});
  }
  renamings.push_back({"<idNVO>", "<id-VO>"});
  renamings.push_back({"</idNVO>", "</id-VO>"});
  MarkupRewrite markup(std::move(text));
  markup.ReplaceEachIgnoringCase(renamings);
  markup.RemoveSpansInTurn({{"<InfosSRS ", "</InfosSRS>"},
                            {"<idVO>", "</idVO>"},
                            {"<TypeVO>", "</TypeVO>"},
                            {"<InfoVille>", "</InfoVille>"},
                            {"<RefSite>", "</RefSite>"},
                            {"<RefExpo>", "</RefExpo>"},
                            {"<id_Track>", "</id_Track>"},
                            {"<RefVille>", "</RefVille>"}});
  return std::move(markup.text());
}

// The markup as the rewritten document is saved: the empty slots written above as
// empty-element tags are saved with a start and an end tag, as every empty element is.
// Nothing else in the markup is an empty-element tag ("/>" stands in no text or
// attribute value, where ">" is always written "&gt;").
std::string SavedForm(std::string_view text) {
  std::vector<TextReplacement> empty_slots;
  for (int slot = 1; slot <= kPhotoSlots; ++slot) {
    const TextReplacement one_tag = EmptySlotAsOneTag(slot);
    empty_slots.push_back({one_tag.to, one_tag.from});
  }
  std::string saved;
  AnsiReplaceEachIgnoreCase(text, empty_slots, saved);
  return saved;
}

}  // namespace

void ExportParuVendu(Run& run, std::string_view target) {
  const std::string export_folder = ExportFolder(run);
  EnsureFolder(run, export_folder);
  const bool expand_equipment = OnUnlessZero(run.Config(target, "FlgInfoEquip", "0"));
  LoadConnectionFields(run, kGatewayDefaults);

  XmlCursorPtr main = LoadSourceDocument(run, target);
  ResetCounters(run);

  ForEachVehicle(run, *main, [&](IXMLCursor& record) {
    RewriteVehicle(run, *main, record, target, expand_equipment);
  });
  ForEachPhoto(run, *main, [&](IXMLCursor& photo) { AttachPhoto(run, *main, photo); });
  RemoveAuxiliarySections(run, *main);
  // The tree goes as the markup is made: a large stock is never held as a tree and as
  // markup at once.
  const std::string markup = RewriteMarkup(main->TakeXML(IXMLCursor::FreedMemory::kReturned));
  // The dated copy and the file to send hold the same bytes, written to both as they are
  // made, as the document the markup reads back as would be saved.
  const std::string dated_copy = export_folder + "\\" + run.FormatNow("yyyymmddhhnn") + ".xml";
  const std::string upload_file =
      export_folder + "\\DorvaneDatasVO-" + run.FormatNow("yyyymmdd") + ".xml";
  SaveRewrittenMarkup(run, main, markup, "Après Replacements", {dated_copy, upload_file},
                      SavedForm(markup));

  std::error_code ec;
  std::filesystem::remove(
      run.HostPath(run.WindowsFolder() + "\\TEMP\\Marque" + run.state.export_target + ".log"), ec);
  run.WriteLog("");
  LogUpdatedPhotos(run);
  run.WriteLog("Début Transfert :  - " + std::to_string(run.state.vehicle_count) + " VO - " +
               std::to_string(run.state.photo_count) + " photos");
  const std::string result = SendFileFTP(run, upload_file, true);
  run.WriteLog(result + "Fichier VO actualisé sur site FTP : " + run.state.export_target + " - " +
               upload_file);
  FinishRun(run);
}

}  // namespace listelo
