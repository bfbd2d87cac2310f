#include "app/check.h"

#include <filesystem>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "app/run.h"
#include "app/shell.h"
#include "delivery/ftp_client.h"
#include "delivery/ftp_delivery.h"
#include "delivery/mail.h"
#include "exporters/export_steps.h"
#include "platform/c_file.h"
#include "platform/text.h"
#include "xml/stock_document.h"

namespace listelo {
namespace {

// The working folders that some targets fill and empty besides the export folder, with
// the default of their PathTemp key.
struct WorkingFolderUse {
  const char* target;
  const char* default_path_temp;
};
constexpr WorkingFolderUse kWorkingFolders[] = {
    {"AUTOSCOUT24", "\\Temp\\AS24"}, {"VPN", "\\Temp\\AS24"}, {"LARGUS", "\\Temp\\Argus"}};

// The gateway folder a target uses when its section names none: NEOWEBCAR and
// AXECIBLES deliver to the dealer's folder on the maker's host, the others stay in the
// login folder.
const char* DefaultGatewayFolder(std::string_view target) {
  return target == "NEOWEBCAR" || target == "AXECIBLES" ? kMakerExportDefaults.folder : "";
}

// Targets that upload nothing while their section has no User.
bool UploadsOnlyWithUser(std::string_view target) {
  return target == "RAD1" || target == "INFOPRESS";
}

class Checker {
 public:
  Checker(Run& run, std::ostream& out) : run_(run), out_(out) {}

  void Ok(std::string_view what, std::string_view detail) { Line("OK     ", what, detail); }
  void Fail(std::string_view what, std::string_view reason) {
    all_ok_ = false;
    Line("ÉCHEC  ", what, reason);
  }
  bool all_ok() const { return all_ok_; }
  Run& run() { return run_; }

 private:
  void Line(std::string_view mark, std::string_view what, std::string_view detail) {
    std::string line(mark);
    line += what;
    if (!detail.empty()) line += " : ";
    // One line per point, whatever the reason holds (the cursor's errors span several).
    for (char ch : detail) {
      if (ch == '\n') {
        line += " | ";
      } else if (ch != '\r') {
        line += ch;
      }
    }
    out_ << AnsiToUtf8(line) << '\n';
  }

  Run& run_;
  std::ostream& out_;
  bool all_ok_ = true;
};

bool CheckConfiguration(Checker& c) {
  const std::filesystem::path path = ConfigurationPath(c.run().host());
  std::error_code ec;
  const std::string shown = PathMapper::ToText(path);
  c.run().set_ini(IniFile::Open(path));
  if (!std::filesystem::is_regular_file(path, ec)) {
    c.Fail("Configuration", shown + " absent (les valeurs intégrées sont des exemples)");
    return false;
  }
  c.Ok("Configuration", shown);
  return true;
}

// The source stock document, loaded as a run would; the cursor, or empty when it does
// not hold.
XmlCursorPtr CheckSourceDocument(Checker& c) {
  Run& run = c.run();
  const std::string path = SourceDocumentPath(run.ini(), run.state.export_target);
  const std::string what = "Document source " + path;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(run.HostPath(path), ec)) {
    c.Fail(what, "absent");
    return nullptr;
  }
  XmlCursorPtr document = CreateXmlCursor(run.paths());
  try {
    // As the run loads it: a root other than "document" is refused there too.
    LoadStockDocument(*document, path);
  } catch (const std::exception& e) {
    c.Fail(what, e.what());
    return nullptr;
  }
  c.Ok(what, std::to_string(SelectVehicles(*document)->Count()) + " véhicules, " +
                 std::to_string(SelectPhotos(*document)->Count()) + " photos");
  return document;
}

void CheckFolder(Checker& c, std::string_view what, const std::string& windows_folder) {
  const std::filesystem::path host = c.run().HostPath(windows_folder);
  if (FolderAcceptsFiles(host)) {
    c.Ok(std::string(what) + " " + windows_folder, "");
  } else {
    c.Fail(std::string(what) + " " + windows_folder, "impossible d'y écrire");
  }
}

void CheckFolders(Checker& c) {
  Run& run = c.run();
  CheckFolder(c, "Dossier d'export", ExportFolder(run));
  for (const WorkingFolderUse& use : kWorkingFolders) {
    if (run.state.export_target != use.target) continue;
    try {
      CheckFolder(c, "Dossier de travail", WorkingFolder(run, use.default_path_temp));
    } catch (const std::exception& e) {
      c.Fail("Dossier de travail", e.what());
    }
  }
}

void CheckServer(Checker& c, const std::string& what, const FtpEndpoint& endpoint) {
  Run& run = c.run();
  FtpClient client(run.window(), run.ftp_timeouts());
  const std::string where =
      endpoint.server + ", " + endpoint.user + ", dossier \"" + endpoint.folder + "\"";
  if (client.Connect(endpoint)) {
    client.Disconnect();
    c.Ok(what, where);
  } else {
    c.Fail(what, where + " : " + client.last_error());
  }
}

// The gateway of the target's section, or of one dealer site's section.
void CheckGateway(Checker& c, const std::string& what, const std::string& section) {
  Run& run = c.run();
  const std::string& target = run.state.export_target;
  const std::string server = run.Config(section, "ServeurFTP", "");
  const std::string user = run.Config(section, "User", "");
  if (server.empty()) {
    c.Fail(what, "ServeurFTP absent de la section " + section);
    return;
  }
  if (user.empty() && UploadsOnlyWithUser(target)) {
    c.Ok(what, "User vide dans la section " + section + " : rien n'est envoyé");
    return;
  }
  LoadGatewayFields(run, section, {"", "", "", DefaultGatewayFolder(target)});
  CheckServer(c, what, GatewayEndpoint(run));
}

// SITAUTOPRO and LEBONCOIN deliver each dealer site to its own account.
void CheckSiteGateways(Checker& c, IXMLCursor* document) {
  Run& run = c.run();
  if (document == nullptr) {
    c.Fail("Passerelles des sites", "les sites se lisent dans le document source");
    return;
  }
  std::set<std::string> seen;
  for (XmlCursorPtr site = SelectSites(*document); !site->Eof(); site->Next()) {
    const std::string code = site->GetValue("CODECLIENT");
    if (!seen.insert(AnsiUpperCase(code)).second) continue;
    run.state.site_code = code;
    CheckGateway(c, "Passerelle du site " + code, run.state.export_target + "-" + code);
  }
  run.state.site_code.clear();
  if (seen.empty()) c.Fail("Passerelles des sites", "aucun site (COORDONNEES) dans le document");
}

void CheckImageServer(Checker& c) {
  Run& run = c.run();
  if (!OnUnlessZero(run.Config(run.state.export_target, "TestFTPVOImages", "0"))) return;
  LoadImageServerFields(run);
  CheckServer(c, "Serveur d'images", ImageServerEndpoint(run));
}

void CheckMailServer(Checker& c) {
  Run& run = c.run();
  if (run.state.export_target != "NEOWEBCAR") return;
  try {
    const SmtpSettings smtp = ReadSmtpSettings(run);
    const std::string where = smtp.host + ":" + std::to_string(smtp.port) + ", " + smtp.user_name;
    try {
      CheckSmtp(smtp, run.window());
      c.Ok("Serveur SMTP", where);
    } catch (const SmtpError& e) {
      c.Fail("Serveur SMTP", where + " : " + e.what());
    }
  } catch (const std::exception& e) {
    c.Fail("Serveur SMTP", e.what());
  }
}

}  // namespace

int RunCheck(const Host& host, std::string_view target, std::ostream& out) {
  HeadlessWindow window;  // the clients' status lines stay in its memo
  Run run(host, window);
  run.regional() = RegionalSettings::FromHost();
  const std::string key = AnsiUpperCase(target);
  for (const DispatchEntry& e : DispatchTable()) {
    if (key == e.key) run.state.export_target = e.key;
  }
  if (run.state.export_target.empty()) {
    out << AnsiToUtf8("Cible inconnue : " + key) << '\n';
    return 2;
  }
  Checker c(run, out);
  CheckConfiguration(c);
  XmlCursorPtr document = CheckSourceDocument(c);
  CheckFolders(c);
  if (key == "SITAUTOPRO" || key == "LEBONCOIN") {
    CheckSiteGateways(c, document.get());
  } else {
    CheckGateway(c, "Passerelle", key);
  }
  CheckImageServer(c);
  CheckMailServer(c);
  return c.all_ok() ? 0 : 1;
}

}  // namespace listelo
