// The small dialog shown while files are packed into an archive: the current file, a
// bar and a Cancel button. The packing code drives it through ProgressSink.
#pragma once

#include <QDialog>
#include <cstdint>
#include <string>

#include "app/window_port.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace listelo {

class ProgressDialog : public QDialog, public ProgressSink {
 public:
  static constexpr int kBarMaximum = 65535;

  explicit ProgressDialog(QWidget* parent = nullptr);

  // Clears the cancel flag and shows the dialog, "wait ..." and an empty bar.
  void BeginBatch(std::uint64_t total_bytes) override;
  // Shows the file's name. Lets pending events run, so that Cancel is seen.
  void BeginFile(const std::string& name, std::uint64_t size) override;
  // `bytes_done`: bytes of the batch processed so far. Lets pending events run.
  void Progress(std::uint64_t bytes_done) override;
  void EndBatch() override;
  bool Cancelled() const override { return cancelled_; }

  QPushButton* cancel_button() const { return cancel_button_; }
  QLabel* label() const { return label_; }
  QProgressBar* bar() const { return bar_; }

 private:
  void Cancel();
  void CentreOnOwner();

  QLabel* label_;
  QProgressBar* bar_;
  QPushButton* cancel_button_;
  std::uint64_t total_bytes_ = 0;
  bool cancelled_ = false;
};

}  // namespace listelo
