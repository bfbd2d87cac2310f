#include "app/shell.h"

#include "app/errors.h"
#include "app/headless.h"
#include "app/history.h"
#include "exporters/export_steps.h"
#include "exporters/exporters.h"
#include "platform/text.h"
#include "xml/stock_document.h"

namespace listelo {
namespace {

void ParuVendu(Run& run) { ExportParuVendu(run, "PARUVENDU"); }
void AutoReflex(Run& run) { ExportParuVendu(run, "AUTOREFLEX"); }
void Rad1(Run& run) { ExportRad1(run, "Rad1"); }
void InfoPress(Run& run) { ExportRad1(run, "InfoPress"); }

constexpr const char* kDefaultPathImages = "c:\\projects\\Quarno\\images";
constexpr const char* kDefaultUrlImages = "http://photos.concession.invalid/voimages";

// The Windows folder and its TEMP folder, where the run log goes: on a fresh host (a new
// LISTELO_ROOT) they are made on the first run rather than the log failing to open. The
// source and photo folders stay the stock database's to fill.
void LayOutRunFolders(const Run& run) {
  std::error_code ec;
  std::filesystem::create_directories(run.HostPath(run.WindowsFolder() + "\\TEMP"), ec);
}

// MaxDrop=N (percent; the target's section, else Options): a stock document that holds
// fewer than (100 - N)% of the vehicles of the target's last finished run is taken for
// a stock database that failed half-way, and nothing is sent, rather than let the
// portal withdraw every other advertisement. Off without the key, and for --force.
void GuardAgainstCollapsedStock(Run& run) {
  const std::string& target = run.state.export_target;
  const std::string text = run.Config(target, "MaxDrop", run.Config("Options", "MaxDrop", ""));
  if (text.empty() || run.state.forced) return;
  const int max_drop = ReadInteger(text, -1);
  if (max_drop < 0 || max_drop > 100) {
    throw RunError("MaxDrop=" + text + " n'est pas un pourcentage de 0 à 100 (section " + target +
                   " ou Options) : export arrêté, rien n'est envoyé.");
  }
  const std::optional<int> last = LastFinishedVehicleCount(run, target);
  if (!last) return;
  const int count = SelectVehicles(*LoadSourceDocument(run, target))->Count();
  if (static_cast<long long>(count) * 100 >= static_cast<long long>(100 - max_drop) * *last) return;
  run.state.vehicle_count = count;
  throw RunError("Stock effondré : " + std::to_string(count) + " véhicules dans " +
                 SourceDocumentPath(run.ini(), target) + " contre " + std::to_string(*last) +
                 " au dernier export terminé de " + target + " (MaxDrop=" + text +
                 ") : export arrêté, rien n'est envoyé. \"listelo --force " + target +
                 "\" l'envoie une fois sans ce contrôle.");
}

}  // namespace

const std::array<DispatchEntry, 14>& DispatchTable() {
  static const std::array<DispatchEntry, 14> table = {{
      {"PARUVENDU", "ParuVendu", &ParuVendu},
      {"AUTOREFLEX", "AutoReflex", &AutoReflex},
      {"AXECIBLES", "AxeCibles", &ExportAxeCibles},
      {"RAD1", "Rad1", &Rad1},
      {"LARGUS", "LArgus", &ExportLArgus},
      {"AUTOSCOUT24", "AutoScout24", &ExportAutoScout24},
      {"VPN", "VPN", &ExportAutoScout24},
      {"PVO", "PVO", &ExportPVO},
      {"NEOWEBCAR", "NeoWebCar", &ExportNeoWebCar},
      {"SITAUTOPRO", "SitAutoPro", &ExportSitAutoPro},
      {"TOPANNONCES", "TopAnnonces", &ExportTopAnnonces},
      {"LEBONCOIN", "LeBonCoin", &ExportSitAutoPro},
      {"INFOPRESS", "InfoPress", &InfoPress},
      {"ANNONCESJAUNES", "AnnoncesJaunes", &ExportAnnoncesJaunes},
  }};
  return table;
}

const std::array<const char*, 14>& TargetListItems() {
  static const std::array<const char*, 14> items = {
      "ParuVendu", "AutoScout24",    "SitAutoPro", "TopAnnonces", "LeBonCoin",
      "InfoPress", "AnnoncesJaunes", "AutoReflex", "LArgus",      "AxeCibles",
      "NeoWebCar", "Rad1",           "VPN",        "PVO"};
  return items;
}

std::filesystem::path ConfigurationPath(const Host& host) {
  if (auto ini = host.environment.Get("LISTELO_INI"); ini && !ini->empty()) {
    return PathMapper::FromText(*ini);
  }
  return host.executable.parent_path() / "Listelo.ini";
}

StartupFormats FormCreate(Run& run, const std::vector<std::string>& arguments) {
  RegionalSettings& regional = run.regional();
  StartupFormats found{regional.short_date_format, regional.short_time_format};
  regional.short_date_format = "dd/mm/yyyy";
  regional.short_time_format = "hh:mm:ss";
  if (arguments.size() == 1) {
    StartExport(run, arguments[0]);
  } else {
    run.window().AddLine(kSyntaxLine);
  }
  return found;
}

void StartExport(Run& run, std::string_view target) {
  std::string key = AnsiUpperCase(target);
  run.state.export_target.clear();
  LayOutRunFolders(run);

  std::filesystem::path ini_path = ConfigurationPath(run.host());
  std::error_code ec;
  if (!std::filesystem::is_regular_file(ini_path, ec)) {
    run.WriteLog("Fichier INI non trouvé : " + PathMapper::ToText(ini_path));
  }
  run.set_ini(IniFile::Open(ini_path));

  // Regional overrides for hosts whose locale does not give what the dealer expects.
  RegionalSettings& regional = run.regional();
  std::string separator = run.Config("Options", "DecimalSeparator", "");
  if (!separator.empty()) regional.decimal_separator = separator[0];
  regional.long_time_format = run.Config("Options", "LongTimeFormat", regional.long_time_format);

  run.state.path_images = run.Config("Options", "PathImages", kDefaultPathImages);
  run.state.url_images = run.Config("Options", "URLImages", kDefaultUrlImages);

  const DispatchEntry* entry = nullptr;
  for (const DispatchEntry& e : DispatchTable()) {
    if (key == e.key) {
      entry = &e;
      break;
    }
  }
  if (entry != nullptr) run.state.export_target = entry->key;

  WindowPort& window = run.window();
  window.SetStartControlsVisible(run.state.export_target.empty());
  window.SetCaption("Export des données pour " + key);
  window.SetServerBoxCaption("Connexion FTP pour " + key + " : ");

  if (entry == nullptr) return;
  const DateTime start = run.host().clock.Now();
  try {
    run.WriteLog("");
    GuardAgainstCollapsedStock(run);
    entry->exporter(run);
  } catch (const std::exception& e) {
    AppendRunHistory(run, start, kExitRunError, e.what());
    throw;
  }
  AppendRunHistory(run, start, run.state.run_finished ? kExitFinished : kExitUnfinished, "");
}

bool StartExportShowingErrors(Run& run, std::string_view target) {
  try {
    StartExport(run, target);
    return true;
  } catch (const std::exception& e) {
    run.window().ShowError(e.what());
    return false;
  }
}

bool Timer1Timer(Run& run) {
  if (run.state.run_finished) ++run.state.close_ticks;
  bool close = run.state.close_ticks >= kCloseAfterTicks;
  run.window().ProcessEvents();
  return close;
}

}  // namespace listelo
