#include "window/progress_dialog.h"

#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "window/qt_text.h"

namespace listelo {
namespace {

constexpr int kWidth = 300;
constexpr int kHeight = 100;
constexpr int kMargin = 10;
constexpr int kInnerWidth = 280;

}  // namespace

ProgressDialog::ProgressDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint),
      label_(new QLabel(QStringLiteral("wait ..."), this)),
      bar_(new QProgressBar(this)),
      cancel_button_(new QPushButton(QStringLiteral("&Cancel"), this)) {
  setObjectName(QStringLiteral("ProgressForm"));
  setModal(false);
  setFixedSize(kWidth, kHeight);
  setWindowTitle(QApplication::applicationDisplayName());

  label_->setGeometry(kMargin, 15, kInnerWidth, 17);
  label_->setAlignment(Qt::AlignCenter);
  bar_->setGeometry(kMargin, 35, kInnerWidth, 17);
  bar_->setRange(0, kBarMaximum);
  bar_->setTextVisible(false);
  cancel_button_->adjustSize();
  cancel_button_->move((kWidth - cancel_button_->width()) / 2, 60);
  cancel_button_->setDefault(true);
  connect(cancel_button_, &QPushButton::clicked, this, [this] { Cancel(); });
}

void ProgressDialog::BeginBatch(std::uint64_t total_bytes) {
  cancelled_ = false;
  total_bytes_ = total_bytes;
  label_->setText(QStringLiteral("wait ..."));
  bar_->setValue(0);
  CentreOnOwner();
  show();
  raise();
}

void ProgressDialog::BeginFile(const std::string& name, std::uint64_t size) {
  (void)size;
  label_->setText(FromAnsi(name));
  QCoreApplication::processEvents();
}

void ProgressDialog::Progress(std::uint64_t bytes_done) {
  // An empty batch counts bytes one for one.
  std::uint64_t position = total_bytes_ == 0 ? bytes_done : bytes_done * kBarMaximum / total_bytes_;
  bar_->setValue(static_cast<int>(std::min<std::uint64_t>(position, kBarMaximum)));
  QCoreApplication::processEvents();
}

void ProgressDialog::EndBatch() { hide(); }

void ProgressDialog::Cancel() {
  cancelled_ = true;
  hide();
}

void ProgressDialog::CentreOnOwner() {
  QRect area;
  if (parentWidget() != nullptr && parentWidget()->isVisible()) {
    area = parentWidget()->frameGeometry();
  } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
    area = screen->availableGeometry();
  }
  if (area.isValid()) move(area.center() - rect().center());
}

}  // namespace listelo
