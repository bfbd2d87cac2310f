// The steps that every export run shares, in the order a run takes them:
//   work folder, connection settings, source document, counters, (the exporter's own
//   records, photos and output), then the closing lines and RunFinished. Writing the
//   file to deliver, packing it and delivering it are in export_output.h.
// Each exporter reads top to bottom like its portal's description and calls these for
// the common parts.
#pragma once

#include <cstddef>
#include <functional>
#include <future>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "xml/xml_cursor.h"

namespace listelo {

class Run;
struct RegionalSettings;

// Built-in connection values of a target section, used when the configuration has none.
// They are placeholders of the right form: deployments set the real ones.
struct ConnectionDefaults {
  const char* server;
  const char* user;
  const char* password;
  const char* folder;
};

// The image server's built-in values (section "VOImages").
extern const ConnectionDefaults kImageServerDefaults;
// The maker's FTP host, for the exporters whose files and photos live there: its image
// folder ("www/voimages"), and the dealer's export folder under the same account
// ("www/dorvane/export").
extern const ConnectionDefaults kMakerImageServerDefaults;
extern const ConnectionDefaults kMakerExportDefaults;

// Windows folder + "\TEMP\Listelo": where most exporters write their files.
std::string ExportFolder(const Run& run);

// Creates the folder (one level) when it does not exist; a failure shows later, when a
// file is written there.
void EnsureFolder(const Run& run, std::string_view windows_folder);

// The exporter's working folder: Windows folder + the target's PathTemp (default
// `default_path_temp`). The folder is emptied before each run, so it must lie strictly
// below the Windows folder: a PathTemp that names no folder there (empty, "\", "\.",
// "\Temp\..", "\..\Users") raises RunError naming the setting, before anything is touched.
std::string WorkingFolder(const Run& run, std::string_view default_path_temp);

// Copies the four "VOImages" values into the image-server fields of the window and the
// four connection values of the target's section into the gateway fields, and sets the
// image-server test switch from the target's TestFTPVOImages.
void LoadConnectionFields(Run& run, const ConnectionDefaults& gateway);

// The same with the exporter's own built-in values for the image server.
void LoadConnectionFields(Run& run, const ConnectionDefaults& gateway,
                          const ConnectionDefaults& image_server);

// The four "VOImages" values into the image-server fields alone.
void LoadImageServerFields(Run& run, const ConnectionDefaults& image_server = kImageServerDefaults);

// The four connection values (ServeurFTP, User, PassWord, PathFTP) of `section` into the
// gateway fields: a target's section, or the section of one dealer site.
void LoadGatewayFields(Run& run, std::string_view section, const ConnectionDefaults& gateway);

// A new cursor on the target's source stock document (Options/SourceFolder or the
// stock database's folder). Raises the cursor's error when it is missing or malformed,
// or is no stock document (LoadStockDocument).
XmlCursorPtr LoadSourceDocument(Run& run, std::string_view file_target);

// PhotoCount, UpdatedPhotoCount, VehicleCount and the count of photos not sent to the
// image server back to 0.
void ResetCounters(Run& run);

// "Nb Photos Mises à jour : " + count + " photos --- ", when photos were updated; then
// "Nb Photos non envoyées au serveur d'images : " + count + " photos --- première cause : "
// + reason, when uploads to the image server failed or were skipped.
void LogUpdatedPhotos(Run& run);

// The vehicle pass: selects the vehicle records, logs "Après premier Select DataVO" and
// hands each record to `rewrite`, in document order. The record cursor lives only while
// the pass runs: a cursor keeps the tree it stands in alive, and the exporters replace
// the document with its rewritten form later on.
void ForEachVehicle(Run& run, IXMLCursor& main, const std::function<void(IXMLCursor&)>& rewrite);

// The photo pass: selects the photo records, logs "Après premier Select LiensImages" and
// hands each record to `attach`, in document order, letting pending window events run
// after each. Its cursor, too, lives only while the pass runs.
void ForEachPhoto(Run& run, IXMLCursor& main, const std::function<void(IXMLCursor&)>& attach);

// Deletes the photo links, the equipment labels and the aliases from the document, with
// the log lines that mark each step ("Avant Suppression LiensImages", ...,
// "Après Aliases"). A section that is missing is passed over.
void RemoveAuxiliarySections(Run& run, IXMLCursor& document);
// Saves the document to `file_name`, removes the same sections with the same log lines
// and takes the markup of what is left, the cursor letting go of the document as TakeXML
// does (kReturned): the tree is serialised once for the file and the markup.
std::string SaveThenTakeMarkup(Run& run, IXMLCursor& document, std::string_view file_name);

// A field read as an integer (blanks around it allowed), or `default_value`.
int ReadInteger(std::string_view text, int default_value);

// A number as the dealer's figures are written: blanks, a sign, digits with the
// locale's decimal separator, an optional exponent ("E" or "e"), blanks; no thousands
// grouping. `default_value` when the text does not read or lies outside double range.
double ReadNumber(std::string_view text, const RegionalSettings& regional, double default_value);

// A number in general format: at most 15 significant digits, no trailing zeros, no
// thousands separator, the locale's decimal separator; exponent form ("1E15", "1,5E-5")
// when the value has more than 15 integer digits or is below 0.0001. 0 is "0".
std::string FormatGeneralNumber(double value, const RegionalSettings& regional);

// The text that opens a vehicle's advertisement reference: `lead` (the make, or the
// category), or empty when `type_vo` reads as the integer 1.
std::string AdReferenceLead(std::string_view lead, std::string_view type_vo);

// BuildAdReference of the record: AdReferenceLead(lead, TypeVO), RefSite, RefExpo and the
// clock's time. `lead` is a value, not a field name: some portals pass the make as
// rewritten, others as read.
std::string RecordAdReference(const Run& run, IXMLCursor& record, std::string_view lead);

// The web address of a photo on the image server: Options/URLImages + "/" + name + ".jpg".
std::string PhotoAddress(const Run& run, std::string_view photo_name);

inline constexpr size_t kAllPhotos = std::numeric_limits<size_t>::max();

// The web addresses (PhotoAddress of NomImage) of the first `max_count` photo records
// of vehicle `id_vo`, in document order.
std::vector<std::string> VehiclePhotoAddresses(const Run& run, IXMLCursor& document,
                                               std::string_view id_vo, size_t max_count);

// Sets the first of `slot_prefix` + 1 ... `slot_prefix` + `slot_count` whose text is
// empty (or which is missing: it is then added) to `value`, and returns its number; 0,
// changing nothing, when all are taken.
int FillFirstEmptySlot(IXMLCursor& record, std::string_view slot_prefix, int slot_count,
                       std::string_view value);

// The files directly in `windows_folder` whose names match the Windows `pattern`
// ("*.csv"), in name order, each as windows_folder + "\" + name. Empty when the folder
// is missing.
std::vector<std::string> ListFolderFiles(const Run& run, std::string_view windows_folder,
                                         std::string_view pattern);

// The run's last step.
void FinishRun(Run& run);

// A copy of a document as loaded, written later in the run ("the dated copy"). Writing
// out a big stock takes a while, and the record pass only reads the document: the copy
// is made on a second thread meanwhile. Nothing may change the document until Save.
class BackgroundSnapshot {
 public:
  explicit BackgroundSnapshot(XmlCursorPtr document);
  // Waits for the copy and writes it as the document's Save would.
  void Save(std::string_view file_name);

 private:
  XmlCursorPtr document_;
  std::future<IXMLCursor::Snapshot> snapshot_;
};

// CheckXML of a rewritten markup, made on a second thread while the run goes on with
// steps whose effects reading the markup back would not have stopped (logging it) or that
// change nothing outside the run (rewriting a copy). The markup must stay unchanged until
// Wait, which raises what CheckXML would have raised. A run that ends before Wait drops
// the check.
class BackgroundMarkupCheck {
 public:
  BackgroundMarkupCheck(XmlCursorPtr cursor, std::string_view markup);
  void Wait();

 private:
  std::future<void> done_;
};

// The last steps of an exporter that writes its rewritten markup as the document it reads
// back as would be saved, without building that document: "Result : " + the markup and
// `replacements_done` are logged while the markup is read back on a second thread, and
// `saved` (the markup, or the form its document is saved in) is written to `files`. The
// files take their names, and "Avant Enregistrement" is logged, only once the markup has
// read back: markup that does not ends the run where reloading it would.
void SaveRewrittenMarkup(Run& run, const XmlCursorPtr& document, std::string_view markup,
                         std::string_view replacements_done, const std::vector<std::string>& files,
                         std::string_view saved);

}  // namespace listelo
