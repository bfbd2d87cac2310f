// The main window: the two connection groups, the status lines, the target list with
// "Démarrer" and "Version", and the memo. It is the run's WindowPort; what happens on
// creation, on "Démarrer" and on each timer tick is the shell's (app/shell.h).
#pragma once

#include <QTimer>
#include <QWidget>
#include <array>
#include <chrono>
#include <string>
#include <vector>

#include "app/run.h"
#include "app/window_port.h"
#include "platform/host.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace listelo {

class ProgressDialog;

class MainWindow : public QWidget, public WindowPort {
 public:
  static constexpr int kWidth = 515;
  static constexpr int kHeight = 512;
  static constexpr std::chrono::milliseconds kTickInterval{1000};

  // The timer runs from here on. `host` must outlive the window.
  explicit MainWindow(const Host& host, QWidget* parent = nullptr);
  ~MainWindow() override;

  Run& run() { return run_; }

  // The creation handler, called before the window is first shown: the start-up date
  // and time formats go to their labels, then the export runs when `arguments` holds
  // exactly one target, else the memo shows the syntax line. An error that ends the
  // run is shown in the error box.
  void FormCreate(const std::vector<std::string>& arguments);

  // "Démarrer": the run for the text of the target list; an empty text does nothing.
  void Button1Click();
  // "Version": the memo lists the version information of the program file.
  void Button2Click();
  // One tick of the close countdown; the timer calls it, tests may too.
  void Timer1Timer();
  void SetTickInterval(std::chrono::milliseconds interval) { timer1_.setInterval(interval); }

  // WindowPort.
  void AddLine(const std::string& line) override;
  void ClearMemo() override;
  std::vector<std::string> MemoLines() const override { return memo_lines_; }
  void SetLabel(int which, const std::string& text) override;
  std::string Label(int which) const override;
  void SetField(Field field, const std::string& value) override;
  std::string GetField(Field field) const override;
  void SetCaption(const std::string& caption) override;
  void SetServerBoxCaption(const std::string& caption) override;
  void SetStartControlsVisible(bool visible) override;
  void ProcessEvents() override;
  void ShowError(const std::string& message) override;
  ProgressSink& Progress() override;

  ProgressDialog* progress_dialog() const { return progress_dialog_; }

 private:
  QWidget* BuildImageServerBox();
  QWidget* BuildServerBox();
  QLineEdit* AddField(Field field, const char* name, const char* label_name, const char* label_text,
                      const char* initial, QWidget* box);
  QLabel* AddStatusLabel(const char* name);

  Run run_;
  std::vector<std::string> memo_lines_;  // exactly the lines added, for MemoLines()
  std::array<QLineEdit*, kFieldCount> fields_{};
  std::array<QLabel*, 2> status_labels_{};
  QGroupBox* server_box_ = nullptr;
  QLabel* date_format_label_ = nullptr;
  QLabel* time_format_label_ = nullptr;
  QComboBox* target_list_ = nullptr;
  QPushButton* start_button_ = nullptr;
  QPushButton* version_button_ = nullptr;
  QPlainTextEdit* memo_ = nullptr;
  ProgressDialog* progress_dialog_ = nullptr;
  QTimer timer1_;
};

}  // namespace listelo
