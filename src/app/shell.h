// Start-up and dispatch: what the window does when it is created, when "Démarrer" is
// pressed and when its one-second timer ticks, independent of any window toolkit.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "app/run.h"

namespace listelo {

struct DispatchEntry {
  const char* key;        // upper-cased target
  const char* list_item;  // text of the target list
  void (*exporter)(Run&);
};

// The fourteen targets in the order they are tested.
const std::array<DispatchEntry, 14>& DispatchTable();

// The items of the target list, in the window's order.
const std::array<const char*, 14>& TargetListItems();

inline constexpr int kCloseAfterTicks = 30;
inline constexpr const char* kSyntaxLine = "Syntax : Listelo \"option\"";

// The configuration file: LISTELO_INI when set, else Listelo.ini beside the executable.
std::filesystem::path ConfigurationPath(const Host& host);

// Remembers the host's date and time formats for the window's two labels, forces the
// short date "dd/mm/yyyy" and short time "hh:mm:ss", then starts the export when the
// command line holds exactly one argument (else shows the syntax line).
// `arguments` excludes the program name. Errors of the export propagate.
struct StartupFormats {
  std::string date_format;  // as found at start-up
  std::string time_format;
};
StartupFormats FormCreate(Run& run, const std::vector<std::string>& arguments);

// The dispatch operation: configuration, captions, log reset, the target's exporter.
void StartExport(Run& run, std::string_view target);

// StartExport, with an error that escapes the exporter shown through the window.
// Returns false when such an error ended the run.
bool StartExportShowingErrors(Run& run, std::string_view target);

// One tick of the window's timer; true when the window is to be closed.
bool Timer1Timer(Run& run);

}  // namespace listelo
