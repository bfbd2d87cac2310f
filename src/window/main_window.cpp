#include "window/main_window.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/shell.h"
#include "app/version_info.h"
#include "window/progress_dialog.h"
#include "window/qt_text.h"

namespace listelo {
namespace {

// Design-time texts of the connection fields; every exporter overwrites them.
constexpr const char* kPlaceholderHost = "serveur.invalid";
constexpr const char* kPlaceholderUser = "utilisateur";
constexpr const char* kPlaceholderPassword = "motdepasse";

// Long captions and status texts are cut at the window's edge rather than widening it.
constexpr int kGroupMinimumWidth = 200;

}  // namespace

MainWindow::MainWindow(const Host& host, QWidget* parent) : QWidget(parent), run_(host, *this) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Form1"));

  auto* top = new QHBoxLayout;
  top->addWidget(BuildImageServerBox(), 1);
  top->addWidget(BuildServerBox(), 1);

  status_labels_[0] = AddStatusLabel("Label1");
  status_labels_[1] = AddStatusLabel("Label2");
  date_format_label_ = AddStatusLabel("LbDateFormat");
  time_format_label_ = AddStatusLabel("LbTimeFormat");

  target_list_ = new QComboBox(this);
  target_list_->setObjectName(QStringLiteral("CBExport"));
  target_list_->setEditable(true);
  target_list_->setInsertPolicy(QComboBox::NoInsert);  // the list of targets is fixed
  target_list_->setMaxVisibleItems(30);
  for (const char* item : TargetListItems()) target_list_->addItem(FromAnsi(item));
  target_list_->setCurrentIndex(-1);
  start_button_ = new QPushButton(FromAnsi("Démarrer"), this);
  start_button_->setObjectName(QStringLiteral("Button1"));
  version_button_ = new QPushButton(QStringLiteral("Version"), this);
  version_button_->setObjectName(QStringLiteral("Button2"));
  connect(start_button_, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(version_button_, &QPushButton::clicked, this, [this] { Button2Click(); });

  auto* formats = new QHBoxLayout;
  formats->addWidget(date_format_label_, 1);
  formats->addWidget(time_format_label_, 1);
  auto* commands = new QHBoxLayout;
  commands->addWidget(target_list_, 1);
  commands->addStretch();  // keeps "Version" at its size when the list is hidden
  commands->addWidget(start_button_);
  commands->addWidget(version_button_);

  auto* memo_box = new QGroupBox(FromAnsi("Etat : "), this);
  memo_box->setObjectName(QStringLiteral("BoxMemo"));
  memo_ = new QPlainTextEdit(memo_box);
  memo_->setObjectName(QStringLiteral("Memo"));
  memo_->setReadOnly(true);
  memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
  auto* memo_layout = new QVBoxLayout(memo_box);
  memo_layout->addWidget(memo_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(status_labels_[0]);
  layout->addWidget(status_labels_[1]);
  layout->addLayout(formats);
  layout->addLayout(commands);
  layout->addWidget(memo_box, 1);
  resize(kWidth, kHeight);

  progress_dialog_ = new ProgressDialog(this);

  timer1_.setInterval(kTickInterval);
  connect(&timer1_, &QTimer::timeout, this, [this] { Timer1Timer(); });
  timer1_.start();
}

MainWindow::~MainWindow() = default;

QWidget* MainWindow::BuildImageServerBox() {
  auto* box = new QGroupBox(FromAnsi("Connexion Serveur VOImages : "), this);
  box->setObjectName(QStringLiteral("GroupBox1"));
  box->setMinimumWidth(kGroupMinimumWidth);
  new QFormLayout(box);
  AddField(Field::kServeurVOImages, "paramServeurVOImages", "Label3",
           "Serveur FTP :", kPlaceholderHost, box);
  AddField(Field::kUserVOImages, "paramUserVOImages", "Label4", "Utilisateur :", kPlaceholderUser,
           box);
  AddField(Field::kPasswordVOImages, "paramPasswordVOImages", "Label5",
           "Mot de passe : ", kPlaceholderPassword, box);
  AddField(Field::kRepertVOImages, "paramRepertVOImages", "Label6", "Répertoire : ", "www/voimages",
           box);
  return box;
}

QWidget* MainWindow::BuildServerBox() {
  server_box_ = new QGroupBox(FromAnsi("Connexion Serveur xxx : "), this);
  server_box_->setObjectName(QStringLiteral("BoxServer"));
  server_box_->setMinimumWidth(kGroupMinimumWidth);
  new QFormLayout(server_box_);
  AddField(Field::kServeur, "paramServeur", "lbServer", "Serveur FTP :", kPlaceholderHost,
           server_box_);
  AddField(Field::kUser, "paramUser", "LbUser", "Utilisateur :", kPlaceholderUser, server_box_);
  AddField(Field::kPassword, "paramPassword", "LbPassword", "Mot de passe : ", kPlaceholderPassword,
           server_box_);
  AddField(Field::kRepert, "paramRepert", "Label7", "Répertoire :", "", server_box_);
  return server_box_;
}

QLineEdit* MainWindow::AddField(Field field, const char* name, const char* label_name,
                                const char* label_text, const char* initial, QWidget* box) {
  auto* edit = new QLineEdit(FromAnsi(initial), box);
  edit->setObjectName(QString::fromLatin1(name));
  if (field == Field::kPasswordVOImages || field == Field::kPassword) {
    edit->setEchoMode(QLineEdit::Password);
    edit->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42 }"));
  }
  auto* label = new QLabel(FromAnsi(label_text), box);
  label->setObjectName(QString::fromLatin1(label_name));
  label->setBuddy(edit);
  static_cast<QFormLayout*>(box->layout())->addRow(label, edit);
  fields_[static_cast<std::size_t>(field)] = edit;
  return edit;
}

QLabel* MainWindow::AddStatusLabel(const char* name) {
  auto* label = new QLabel(QString::fromLatin1(name), this);
  label->setObjectName(QString::fromLatin1(name));
  label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  return label;
}

void MainWindow::FormCreate(const std::vector<std::string>& arguments) {
  // The formats as found, before the shell forces its own.
  date_format_label_->setText(FromAnsi(run_.regional().short_date_format));
  time_format_label_->setText(FromAnsi(run_.regional().short_time_format));
  try {
    listelo::FormCreate(run_, arguments);
  } catch (const std::exception& e) {
    ShowError(e.what());
  }
}

void MainWindow::Button1Click() {
  std::string target = ToAnsi(target_list_->currentText());
  if (target.empty()) return;
  StartExportShowingErrors(run_, target);
}

void MainWindow::Button2Click() {
  ClearMemo();
  std::vector<std::string> lines;
  ListVersionInfo(run_.host().executable, lines);
  for (const std::string& line : lines) AddLine(line);
}

void MainWindow::Timer1Timer() {
  if (listelo::Timer1Timer(run_)) close();
}

void MainWindow::AddLine(const std::string& line) {
  memo_lines_.push_back(line);
  memo_->appendPlainText(FromAnsi(line));
}

void MainWindow::ClearMemo() {
  memo_lines_.clear();
  memo_->clear();
}

void MainWindow::SetLabel(int which, const std::string& text) {
  status_labels_[which == 2 ? 1 : 0]->setText(FromAnsi(text));
}

std::string MainWindow::Label(int which) const {
  return ToAnsi(status_labels_[which == 2 ? 1 : 0]->text());
}

void MainWindow::SetField(Field field, const std::string& value) {
  fields_[static_cast<std::size_t>(field)]->setText(FromAnsi(value));
}

std::string MainWindow::GetField(Field field) const {
  return ToAnsi(fields_[static_cast<std::size_t>(field)]->text());
}

void MainWindow::SetCaption(const std::string& caption) { setWindowTitle(FromAnsi(caption)); }

void MainWindow::SetServerBoxCaption(const std::string& caption) {
  server_box_->setTitle(FromAnsi(caption));
}

void MainWindow::SetStartControlsVisible(bool visible) {
  start_button_->setVisible(visible);
  target_list_->setVisible(visible);
}

void MainWindow::ProcessEvents() { QCoreApplication::processEvents(); }

void MainWindow::ShowError(const std::string& message) {
  // Before the window first shows (an unattended run), the box centres on the screen.
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Listelo"), FromAnsi(message),
                  QMessageBox::Ok, isVisible() ? this : nullptr);
  box.setObjectName(QStringLiteral("ErrorBox"));
  box.exec();
}

ProgressSink& MainWindow::Progress() { return *progress_dialog_; }

}  // namespace listelo
