#include "window/main_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <memory>

#include "app/shell.h"
#include "support/temp_tree.h"
#include "window/progress_dialog.h"

namespace listelo {
namespace {
namespace fs = std::filesystem;
using testing::TempTree;
using testing::WriteFile;

// A window on a temporary tree, with a fixed clock and Listelo.ini present.
class WindowTest : public ::testing::Test {
 protected:
  WindowTest() : clock_(testing::RunFixture::DefaultNow()) {
    environment_.Set("LISTELO_ROOT", tree_.path().string());
    environment_.Set("Windir", "c:\\windows");
    environment_.Set("LISTELO_INI", (tree_ / "Listelo.ini").string());
    fs::create_directories(tree_ / "c/windows/TEMP");
    WriteFile(tree_ / "Listelo.ini", "[Options]\n");
    host_ = std::make_unique<Host>(Host{environment_, clock_, LISTELO_BINARY});
    window_ = std::make_unique<MainWindow>(*host_);
  }

  MainWindow& window() { return *window_; }
  fs::path TempFolder() const { return tree_ / "c/windows/TEMP"; }
  template <typename T>
  T* Child(const char* name) {
    T* child = window_->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  bool StartControlsShown() {
    return !Child<QPushButton>("Button1")->isHidden() && !Child<QComboBox>("CBExport")->isHidden();
  }
  void Start(const QString& target) {
    QComboBox* list = Child<QComboBox>("CBExport");
    list->clearEditText();
    QTest::keyClicks(list->lineEdit(), target);
    QTest::mouseClick(Child<QPushButton>("Button1"), Qt::LeftButton);
  }

  TempTree tree_;
  MapEnvironment environment_;
  FixedClock clock_;
  std::unique_ptr<Host> host_;
  std::unique_ptr<MainWindow> window_;
};

// Answers the next error box with OK and keeps its text; the box runs its own loop,
// so it is looked for from a timer.
class ErrorBoxAnswerer {
 public:
  ErrorBoxAnswerer() {
    QObject::connect(&poll_, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        text_ = box->text();
        ++boxes_;
        box->accept();
      }
    });
    poll_.start(10);
  }
  const QString& text() const { return text_; }
  int boxes() const { return boxes_; }

 private:
  QTimer poll_;
  QString text_;
  int boxes_ = 0;
};

TEST_F(WindowTest, ControlsAsDesigned) {
  EXPECT_EQ(window().size(), QSize(515, 512));
  EXPECT_EQ(window().windowTitle(), u"Form1");
  struct Text {
    const char* name;
    QString text;
  };
  const Text group_titles[] = {{"GroupBox1", u"Connexion Serveur VOImages : "_qs},
                               {"BoxServer", u"Connexion Serveur xxx : "_qs},
                               {"BoxMemo", u"Etat : "_qs}};
  for (const Text& t : group_titles) EXPECT_EQ(Child<QGroupBox>(t.name)->title(), t.text);
  const Text labels[] = {{"Label3", u"Serveur FTP :"_qs},
                         {"Label4", u"Utilisateur :"_qs},
                         {"Label5", u"Mot de passe : "_qs},
                         {"Label6", u"Répertoire : "_qs},
                         {"lbServer", u"Serveur FTP :"_qs},
                         {"LbUser", u"Utilisateur :"_qs},
                         {"LbPassword", u"Mot de passe : "_qs},
                         {"Label7", u"Répertoire :"_qs},
                         {"Label1", u"Label1"_qs},
                         {"Label2", u"Label2"_qs},
                         {"LbDateFormat", u"LbDateFormat"_qs},
                         {"LbTimeFormat", u"LbTimeFormat"_qs}};
  for (const Text& t : labels) EXPECT_EQ(Child<QLabel>(t.name)->text(), t.text) << t.name;
  const Text buttons[] = {{"Button1", u"Démarrer"_qs}, {"Button2", u"Version"_qs}};
  for (const Text& t : buttons) EXPECT_EQ(Child<QPushButton>(t.name)->text(), t.text);

  EXPECT_EQ(Child<QLineEdit>("paramRepertVOImages")->text(), u"www/voimages");
  EXPECT_EQ(Child<QLineEdit>("paramRepert")->text(), u"");
  for (const char* password : {"paramPasswordVOImages", "paramPassword"}) {
    EXPECT_EQ(Child<QLineEdit>(password)->echoMode(), QLineEdit::Password) << password;
  }
  EXPECT_EQ(Child<QLineEdit>("paramUser")->echoMode(), QLineEdit::Normal);

  QComboBox* list = Child<QComboBox>("CBExport");
  QStringList items;
  for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
  EXPECT_EQ(items, QStringList({"ParuVendu", "AutoScout24", "SitAutoPro", "TopAnnonces",
                                "LeBonCoin", "InfoPress", "AnnoncesJaunes", "AutoReflex", "LArgus",
                                "AxeCibles", "NeoWebCar", "Rad1", "VPN", "PVO"}));
  EXPECT_TRUE(list->isEditable());
  EXPECT_EQ(list->currentIndex(), -1);
  EXPECT_EQ(list->currentText(), u"");
  EXPECT_EQ(list->maxVisibleItems(), 30);

  QPlainTextEdit* memo = Child<QPlainTextEdit>("Memo");
  EXPECT_TRUE(memo->isReadOnly());
  EXPECT_EQ(memo->toPlainText(), u"");
  EXPECT_TRUE(StartControlsShown());
}

TEST_F(WindowTest, CreationWithoutOneTargetShowsTheSyntaxLineOnly) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, std::vector<std::string>{"PVO", "VPN"}}) {
    MainWindow window(*host_);
    window.FormCreate(args);
    EXPECT_EQ(window.MemoLines(), std::vector<std::string>{kSyntaxLine});
    EXPECT_EQ(window.findChild<QPlainTextEdit*>("Memo")->toPlainText(),
              u"Syntax : Listelo \"option\"");
    EXPECT_EQ(window.windowTitle(), u"Form1");
    EXPECT_TRUE(fs::is_empty(TempFolder()));
  }
  EXPECT_TRUE(StartControlsShown());
}

TEST_F(WindowTest, TheTargetSetsTheCaptionsAndTheStartControls) {
  struct Case {
    const char* argument;
    QString caption;
    QString box_caption;
    bool start_controls_shown;
  };
  const Case cases[] = {
      {"paruvendu", u"Export des données pour PARUVENDU"_qs, u"Connexion FTP pour PARUVENDU : "_qs,
       false},
      {"FOO", u"Export des données pour FOO"_qs, u"Connexion FTP pour FOO : "_qs, true},
  };
  for (const Case& c : cases) {
    fs::remove_all(TempFolder());
    fs::create_directories(TempFolder());
    window_ = std::make_unique<MainWindow>(*host_);
    ErrorBoxAnswerer answerer;  // the known target's exporter finds no stock document here
    window().FormCreate({c.argument});
    EXPECT_EQ(window().windowTitle(), c.caption);
    EXPECT_EQ(Child<QGroupBox>("BoxServer")->title(), c.box_caption);
    EXPECT_EQ(StartControlsShown(), c.start_controls_shown) << c.argument;
    // Only a known target empties its log.
    EXPECT_EQ(fs::exists(TempFolder() / "RadoveDuvudePARUVENDU.log"), !c.start_controls_shown);
    EXPECT_FALSE(fs::exists(TempFolder() / "RadoveDuvudeFOO.log"));
  }
}

TEST_F(WindowTest, StartButtonRunsTheTypedTargetAndIgnoresAnEmptyText) {
  window().FormCreate({});
  window().show();
  QTest::mouseClick(Child<QPushButton>("Button1"), Qt::LeftButton);
  EXPECT_EQ(window().windowTitle(), u"Form1");
  EXPECT_EQ(window().MemoLines(), std::vector<std::string>{kSyntaxLine});

  Start(u"foo"_qs);  // unknown: another try is possible
  EXPECT_EQ(window().windowTitle(), u"Export des données pour FOO");
  EXPECT_TRUE(StartControlsShown());

  {
    ErrorBoxAnswerer answerer;  // no stock document for PVO here: the run ends in an error
    Start(u"pvo"_qs);
    EXPECT_EQ(answerer.boxes(), 1);
  }
  EXPECT_EQ(window().windowTitle(), u"Export des données pour PVO");
  EXPECT_FALSE(StartControlsShown());
  EXPECT_TRUE(fs::exists(TempFolder() / "RadoveDuvudePVO.log"));
}

TEST_F(WindowTest, ClosesOnTheThirtiethTickAfterTheRunFinished) {
  for (int ticks_during_run : {0, 100}) {
    window_ = std::make_unique<MainWindow>(*host_);
    window().show();
    for (int i = 0; i < ticks_during_run; ++i) window().Timer1Timer();
    window().run().state.run_finished = true;
    for (int i = 1; i < 30; ++i) {
      window().Timer1Timer();
      ASSERT_TRUE(window().isVisible()) << "tick " << i;
    }
    window().Timer1Timer();
    EXPECT_FALSE(window().isVisible()) << ticks_during_run << " ticks during the run";
  }
}

TEST_F(WindowTest, TheTimerTicksWhileARunLetsEventsThrough) {
  // No event loop runs: only ProcessEvents, as an exporter calls it between steps.
  window().SetTickInterval(std::chrono::milliseconds(1));
  window().show();
  window().run().state.run_finished = true;
  QElapsedTimer elapsed;
  elapsed.start();
  while (window().isVisible() && elapsed.elapsed() < 10000) window().ProcessEvents();
  EXPECT_FALSE(window().isVisible());
  EXPECT_GE(window().run().state.close_ticks, 30);
}

TEST_F(WindowTest, FormatLabelsShowTheFormatsFoundAtStartUp) {
  window().run().regional().short_date_format = "mm/dd/yy";
  window().run().regional().short_time_format = "h:nn am/pm";
  window().FormCreate({});
  EXPECT_EQ(Child<QLabel>("LbDateFormat")->text(), u"mm/dd/yy");
  EXPECT_EQ(Child<QLabel>("LbTimeFormat")->text(), u"h:nn am/pm");
  EXPECT_EQ(window().run().regional().short_date_format, "dd/mm/yyyy");
  EXPECT_EQ(window().run().regional().short_time_format, "hh:mm:ss");
}

TEST_F(WindowTest, VersionReplacesTheMemoWithTheVersionStrings) {
  window().FormCreate({});
  window().show();
  QTest::mouseClick(Child<QPushButton>("Button2"), Qt::LeftButton);
  std::vector<std::string> lines = window().MemoLines();
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines.front().rfind("FileDescription : ", 0), 0u);
  EXPECT_EQ(lines.back(), std::string("ProductVersion : ") + LISTELO_VERSION);
  QString shown = Child<QPlainTextEdit>("Memo")->toPlainText();
  EXPECT_TRUE(shown.startsWith(u"FileDescription : Publication du stock de véhicules"));
  EXPECT_TRUE(shown.contains(u"LegalCopyRight : © Quarno. Tous droits réservés."));

  Host without_version{environment_, clock_, tree_ / "no-such-program"};
  MainWindow other(without_version);
  other.FormCreate({});
  other.Button2Click();
  EXPECT_EQ(other.MemoLines(), std::vector<std::string>{});
  EXPECT_EQ(other.findChild<QPlainTextEdit*>("Memo")->toPlainText(), u"");
}

TEST_F(WindowTest, AnErrorThatEndsTheRunIsShownAndTheWindowStaysOpen) {
  // A file where the Windows folder should be: the log cannot be written.
  WriteFile(tree_ / "c" / "blocked", "not a folder");
  environment_.Set("Windir", "c:\\blocked");
  {
    ErrorBoxAnswerer answerer;
    window().FormCreate({"paruvendu"});  // unattended: before the window shows
    EXPECT_EQ(answerer.boxes(), 1);
    EXPECT_TRUE(answerer.text().contains(u"RadoveDuvudePARUVENDU.log"))
        << answerer.text().toStdString();
  }
  window().show();
  for (int i = 0; i < 40; ++i) window().Timer1Timer();
  EXPECT_FALSE(window().run().state.run_finished);
  EXPECT_TRUE(window().isVisible());

  ErrorBoxAnswerer answerer;  // and from "Démarrer"
  window().SetStartControlsVisible(true);
  Start(u"AxeCibles"_qs);
  EXPECT_EQ(answerer.boxes(), 1);
  EXPECT_TRUE(answerer.text().contains(u"RadoveDuvudeAXECIBLES.log"));
  EXPECT_TRUE(window().isVisible());
}

TEST_F(WindowTest, TextsCrossThePortInBothDirections) {
  window().SetField(Field::kRepert, "répertoire/été");
  EXPECT_EQ(Child<QLineEdit>("paramRepert")->text(), u"répertoire/été");
  Child<QLineEdit>("paramUser")->setText(u"cédric"_qs);  // typed by hand
  EXPECT_EQ(window().GetField(Field::kUser), "cédric");
  window().SetLabel(2, "Update 3 : c:\\images\\é.jpg - on transfert");
  EXPECT_EQ(Child<QLabel>("Label2")->text(), u"Update 3 : c:\\images\\é.jpg - on transfert");
  EXPECT_EQ(window().Label(2), "Update 3 : c:\\images\\é.jpg - on transfert");
  EXPECT_EQ(window().Label(1), "Label1");

  window().StatusText("Connecté.");  // a network client's status: memo only
  EXPECT_EQ(window().MemoLines(), std::vector<std::string>{"Connecté."});
  EXPECT_EQ(Child<QPlainTextEdit>("Memo")->toPlainText(), u"Connecté.");
  EXPECT_TRUE(fs::is_empty(TempFolder()));
}

TEST_F(WindowTest, ProgressDialogFollowsTheBatchAndCancels) {
  window().show();
  ProgressSink& sink = window().Progress();
  ProgressDialog* dialog = window().progress_dialog();
  ASSERT_EQ(&sink, static_cast<ProgressSink*>(dialog));

  sink.BeginBatch(1000);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_FALSE(dialog->isModal());
  EXPECT_TRUE(dialog->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(dialog->size(), QSize(300, 100));
  EXPECT_EQ(dialog->label()->text(), u"wait ...");
  EXPECT_EQ(dialog->bar()->maximum(), 65535);
  EXPECT_EQ(dialog->cancel_button()->text(), u"&Cancel");
  sink.BeginFile("véhicules.csv", 1000);
  EXPECT_EQ(dialog->label()->text(), u"véhicules.csv");
  sink.Progress(500);
  EXPECT_EQ(dialog->bar()->value(), 32767);
  sink.Progress(2000);
  EXPECT_EQ(dialog->bar()->value(), 65535);
  EXPECT_FALSE(sink.Cancelled());
  QTest::mouseClick(dialog->cancel_button(), Qt::LeftButton);
  EXPECT_TRUE(sink.Cancelled());
  EXPECT_FALSE(dialog->isVisible());
  sink.EndBatch();
  EXPECT_TRUE(sink.Cancelled()) << "the packing code reads the flag after the batch";

  sink.BeginBatch(0);  // an empty batch counts bytes one for one
  EXPECT_FALSE(sink.Cancelled());
  EXPECT_EQ(dialog->label()->text(), u"wait ...");
  sink.Progress(7);
  EXPECT_EQ(dialog->bar()->value(), 7);
  sink.EndBatch();
  EXPECT_FALSE(dialog->isVisible());
}

}  // namespace
}  // namespace listelo

int main(int argc, char** argv) {
  // Test discovery runs this program outside ctest's environment too.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
