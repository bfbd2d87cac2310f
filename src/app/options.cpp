#include "app/options.h"

#include <ostream>

#include "app/check.h"
#include "app/headless.h"
#include "app/history.h"
#include "app/run.h"
#include "app/version_info.h"
#include "platform/text.h"

namespace listelo {
namespace {

constexpr const char* kUsage =
    "Usage :\n"
    "  listelo CIBLE            exporte le stock vers la cible (PARUVENDU, AUTOSCOUT24...)\n"
    "  listelo                  ouvre la fenêtre pour choisir la cible\n"
    "  listelo --check CIBLE    vérifie la configuration, le document source, les dossiers\n"
    "                           et les serveurs de la cible, sans rien envoyer ni écrire\n"
    "  listelo --force CIBLE    exporte sans le contrôle de stock effondré (MaxDrop), une fois\n"
    "  listelo --history [CIBLE]  affiche les derniers exports\n"
    "  listelo --version        affiche les informations de version\n"
    "  listelo --help           affiche cette aide\n"
    "Codes de sortie : 0 terminé, 1 erreur, 2 ligne de commande, 3 export non terminé.\n";

int Usage(std::ostream& stream, int status) {
  stream << AnsiToUtf8(kUsage);
  return status;
}

}  // namespace

bool IsOptionCommandLine(const std::vector<std::string>& arguments) {
  return !arguments.empty() && arguments[0].starts_with("--");
}

int RunOption(const Host& host, const std::vector<std::string>& arguments, std::ostream& out,
              std::ostream& err) {
  const std::string& option = arguments[0];
  if (option == "--help" && arguments.size() == 1) return Usage(out, kExitFinished);
  if (option == "--version" && arguments.size() == 1) {
    std::vector<std::string> lines;
    ListVersionInfo(host.executable, lines);
    for (const std::string& line : lines) out << AnsiToUtf8(line) << '\n';
    return kExitFinished;
  }
  if (option == "--check" && arguments.size() == 2) {
    return RunCheck(host, arguments[1], out);
  }
  if (option == "--force" && arguments.size() == 2) {
    return RunHeadless(host, {arguments[1]}, out, err, true);
  }
  if (option == "--history" && arguments.size() <= 2) {
    HeadlessWindow window;
    Run run(host, window);
    PrintRunHistory(run, arguments.size() == 2 ? AnsiUpperCase(arguments[1]) : "", out);
    return kExitFinished;
  }
  return Usage(err, kExitBadArguments);
}

}  // namespace listelo
