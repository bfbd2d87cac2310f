// Wires the core to a front end: the window when a display is there, else a headless run.
#include <iostream>
#include <string>
#include <vector>

#include "app/headless.h"
#include "app/options.h"
#include "platform/host.h"
#include "platform/memory.h"
#include "platform/text.h"

#ifdef LISTELO_HAVE_WINDOW
#include "window/window_main.h"
#endif

int main(int argc, char** argv) {
  listelo::GrowHeapInLargeSteps();
  listelo::ProcessEnvironment environment;
  listelo::SystemClock clock;
  listelo::Host host{environment, clock, listelo::RunningExecutablePath()};
  std::vector<std::string> arguments;
#ifdef _WIN32
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
#else
  for (int i = 1; i < argc; ++i) arguments.push_back(listelo::Utf8ToAnsi(argv[i]));
#endif

  if (listelo::IsOptionCommandLine(arguments)) {
    return listelo::RunOption(host, arguments, std::cout, std::cerr);
  }
#ifdef LISTELO_HAVE_WINDOW
  if (!listelo::HeadlessWanted(environment)) return listelo::RunWindow(host, arguments, argc, argv);
#endif
  return listelo::RunHeadless(host, arguments, std::cout, std::cerr);
}
