// The steps that every export run shares, in the order a run takes them:
//   work folder, connection settings, source document, counters, (the exporter's own
//   records, photos and output), then the closing lines and RunFinished.
// Each exporter reads top to bottom like its portal's description and calls these for
// the common parts.
#pragma once

#include <future>
#include <string>
#include <string_view>

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

}  // namespace listelo
