#include "window/window_main.h"

#include <QApplication>

#include "platform/regional.h"
#include "window/main_window.h"

namespace listelo {

int RunWindow(const Host& host, const std::vector<std::string>& arguments, int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Listelo"));
  MainWindow window(host);
  window.run().regional() = RegionalSettings::FromHost();
  window.FormCreate(arguments);  // an unattended run is over before the window shows
  window.show();
  return QApplication::exec();
}

}  // namespace listelo
