#include "app/headless.h"

#include <ostream>

#include "app/run.h"
#include "app/shell.h"
#include "app/window_port.h"
#include "platform/text.h"

namespace listelo {

bool HeadlessWanted(const Environment& env) {
  if (env.Get("LISTELO_HEADLESS").value_or("") == "1") return true;
#ifdef _WIN32
  return false;
#else
  return env.Get("DISPLAY").value_or("").empty() && env.Get("WAYLAND_DISPLAY").value_or("").empty();
#endif
}

int RunHeadless(const Host& host, const std::vector<std::string>& arguments, std::ostream& out,
                std::ostream& err, bool forced) {
  HeadlessWindow window(&out, &err);
  Run run(host, window);
  run.state.forced = forced;
  run.regional() = RegionalSettings::FromHost();
  if (arguments.size() != 1) {
    FormCreate(run, arguments);
    return kExitBadArguments;
  }
  try {
    FormCreate(run, arguments);
  } catch (const std::exception& e) {
    window.ShowError(e.what());
    return kExitRunError;
  }
  if (run.state.export_target.empty()) {
    std::string message = "Cible inconnue : ";
    message += AnsiUpperCase(arguments[0]);
    err << AnsiToUtf8(message) << '\n';
    return kExitBadArguments;
  }
  if (!run.state.run_finished) {
    std::string message = "L'export ";
    message += run.state.export_target;
    message += " ne s'est pas terminé.";
    err << AnsiToUtf8(message) << '\n';
    return kExitUnfinished;
  }
  return kExitFinished;
}

}  // namespace listelo
