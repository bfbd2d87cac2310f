// The steps that every export run shares, in the order a run takes them:
//   work folder, connection settings, source document, counters, (the exporter's own
//   records, photos and output), then the closing lines and RunFinished.
// Each exporter reads top to bottom like its portal's description and calls these for
// the common parts.
#pragma once

#include <string>
#include <string_view>

#include "xml/xml_cursor.h"

namespace listelo {

class Run;

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

// Copies the four "VOImages" values into the image-server fields of the window and the
// four connection values of the target's section into the gateway fields, and sets the
// image-server test switch from the target's TestFTPVOImages.
void LoadConnectionFields(Run& run, const ConnectionDefaults& gateway);

// A new cursor on the target's source stock document (Options/SourceFolder or the
// stock database's folder). Raises the cursor's error when it is missing or malformed.
XmlCursorPtr LoadSourceDocument(Run& run, std::string_view file_target);

// PhotoCount, UpdatedPhotoCount and VehicleCount back to 0.
void ResetCounters(Run& run);

// "Nb Photos Mises à jour : " + count + " photos --- ", when photos were updated.
void LogUpdatedPhotos(Run& run);

// A field read as an integer (blanks around it allowed), or `default_value`.
int ReadInteger(std::string_view text, int default_value);

// The run's last step.
void FinishRun(Run& run);

}  // namespace listelo
