#include "app/shell.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <array>
#include <cstdio>
#include <filesystem>

#include "app/errors.h"
#include "app/headless.h"
#include "support/temp_tree.h"

namespace listelo {
namespace {
namespace fs = std::filesystem;
using testing::ReadFile;
using testing::RunFixture;
using testing::TempTree;
using testing::WriteFile;

TEST(StartExportTest, KnownTargetInAnyCaseSetsCaptionsAndResetsItsLog) {
  RunFixture f("[Options]\nPathImages=d:\\photos\nURLImages=http://img.example/voimages\n");
  const fs::path log = f.HostPath("c:\\windows\\TEMP\\RadoveDuvudePARUVENDU.log");
  WriteFile(log, "old lines\r\n");
  // The exporter then stops for want of a stock document; dispatch is done by then.
  EXPECT_THROW(FormCreate(f.run(), {"paruvendu"}), RunError);
  EXPECT_EQ(f.run().state.export_target, "PARUVENDU");
  EXPECT_EQ(f.window().caption(), "Export des données pour PARUVENDU");
  EXPECT_EQ(f.window().box_caption(), "Connexion FTP pour PARUVENDU : ");
  EXPECT_FALSE(f.window().start_controls_visible());
  EXPECT_EQ(ReadFile(log), "");
  EXPECT_EQ(f.run().state.path_images, "d:\\photos");
  EXPECT_EQ(f.run().state.url_images, "http://img.example/voimages");
}

TEST(StartExportTest, EveryKeyOfTheDispatchTableIsKnown) {
  for (const DispatchEntry& entry : DispatchTable()) {
    RunFixture f;
    StartExportShowingErrors(f.run(), entry.list_item);  // no stock documents here
    EXPECT_EQ(f.run().state.export_target, entry.key);
  }
}

TEST(StartExportTest, UnknownTargetTouchesNoLogAndKeepsTheStartControls) {
  RunFixture f;
  FormCreate(f.run(), {"foo"});
  EXPECT_EQ(f.run().state.export_target, "");
  EXPECT_EQ(f.window().caption(), "Export des données pour FOO");
  EXPECT_EQ(f.window().box_caption(), "Connexion FTP pour FOO : ");
  EXPECT_TRUE(f.window().start_controls_visible());
  EXPECT_TRUE(fs::is_empty(f.HostPath("c:\\windows\\TEMP")));
  EXPECT_FALSE(f.run().state.run_finished);
}

// Starts a run whose exporter then stops for want of its source document: what
// StartExport does before the exporter is all these tests look at.
void StartExportWithoutSource(Run& run, const std::string& target) {
  try {
    StartExport(run, target);
  } catch (const RunError&) {
  }
}

TEST(StartExportTest, MissingConfigurationIsLoggedBeforeTheTargetIsKnown) {
  RunFixture f(nullptr);
  StartExportWithoutSource(f.run(), "PVO");
  const std::string ini = (f.tree().path() / "Listelo.ini").string();
  const std::string log = ReadFile(f.HostPath("c:\\windows\\TEMP\\RadoveDuvude.log"));
  EXPECT_EQ(log, "08/12/2026 14:03:09 - Fichier INI non trouvé : " + ini + "\r\n");
  EXPECT_EQ(f.run().state.path_images, "c:\\projects\\Quarno\\images");
}

TEST(StartExportTest, AnEmptyConfigurationIsNotReported) {
  RunFixture f("");
  StartExportWithoutSource(f.run(), "PVO");
  EXPECT_FALSE(fs::exists(f.HostPath("c:\\windows\\TEMP\\RadoveDuvude.log")));
}

TEST(FormCreateTest, ForcesFormatsAndRemembersThePreviousOnes) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, std::vector<std::string>{"a", "b"}}) {
    RunFixture f;
    f.run().regional().short_date_format = "mm/dd/yy";
    f.run().regional().short_time_format = "h:nn am/pm";
    StartupFormats found = FormCreate(f.run(), args);
    EXPECT_EQ(found.date_format, "mm/dd/yy");
    EXPECT_EQ(found.time_format, "h:nn am/pm");
    EXPECT_EQ(f.run().regional().short_date_format, "dd/mm/yyyy");
    EXPECT_EQ(f.run().regional().short_time_format, "hh:mm:ss");
    EXPECT_EQ(f.window().MemoLines(), std::vector<std::string>{"Syntax : Listelo \"option\""});
    EXPECT_TRUE(fs::is_empty(f.HostPath("c:\\windows\\TEMP")));
  }
}

TEST(TimerTest, ClosesOnTheThirtiethTickAfterTheRunFinished) {
  RunFixture f;
  for (int i = 0; i < 100; ++i) EXPECT_FALSE(Timer1Timer(f.run()));  // ticks during the run
  f.run().state.run_finished = true;
  for (int i = 1; i < 30; ++i) EXPECT_FALSE(Timer1Timer(f.run())) << i;
  EXPECT_TRUE(Timer1Timer(f.run()));
  EXPECT_TRUE(Timer1Timer(f.run()));  // and on every later tick
  EXPECT_EQ(f.window().process_events_calls(), 131);
}

TEST(StartExportTest, AnEscapingErrorIsShownAndTheRunStaysUnfinished) {
  RunFixture f;
  // A file where the Windows folder should be: the log cannot be written.
  WriteFile(f.HostPath("c:\\blocked"), "not a folder");
  f.environment().Set("Windir", "c:\\blocked");
  EXPECT_FALSE(StartExportShowingErrors(f.run(), "PARUVENDU"));
  ASSERT_EQ(f.window().errors().size(), 1u);
  EXPECT_NE(f.window().errors()[0].find("RadoveDuvudePARUVENDU.log"), std::string::npos);
  EXPECT_FALSE(f.run().state.run_finished);
}

// The program itself, as a scheduler starts it.
struct CommandResult {
  int status;
  std::string out;
};

CommandResult RunProgram(const TempTree& tree, const std::string& args) {
  std::string command = "cd '" + tree.path().string() + "' && env -u DISPLAY -u WAYLAND_DISPLAY " +
                        "LISTELO_ROOT='" + tree.path().string() + "' Windir='c:\\windows' " +
                        "LISTELO_INI='" + (tree / "Listelo.ini").string() + "' " + LISTELO_BINARY +
                        " " + args + " 2>&1";
  CommandResult result{-1, ""};
  FILE* pipe = popen(command.c_str(), "r");
  std::array<char, 4096> buf;
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), pipe)) > 0) result.out.append(buf.data(), n);
  int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

TEST(HeadlessProgramTest, ExitStatusTellsHowTheRunEnded) {
  TempTree tree;
  fs::create_directories(tree / "c/windows/TEMP");
  WriteFile(tree / "Listelo.ini", "[Options]\n");
  const std::string syntax = "Syntax : Listelo \"option\"\n";

  CommandResult none = RunProgram(tree, "");
  EXPECT_EQ(none.status, kExitBadArguments);
  EXPECT_EQ(none.out, syntax);
  CommandResult two = RunProgram(tree, "PVO VPN");
  EXPECT_EQ(two.status, kExitBadArguments);
  EXPECT_EQ(two.out, syntax);

  WriteFile(tree / "c/windows/TEMP/RadoveDuvudeFOO.log", "kept");
  CommandResult unknown = RunProgram(tree, "FOO");
  EXPECT_EQ(unknown.status, kExitBadArguments);
  EXPECT_EQ(ReadFile(tree / "c/windows/TEMP/RadoveDuvudeFOO.log"), "kept");

  // A fresh root gets the folders of the run log.
  fs::remove_all(tree / "c/windows");
  CommandResult fresh = RunProgram(tree, "paruvendu");
  EXPECT_TRUE(fs::is_regular_file(tree / "c/windows/TEMP/RadoveDuvudePARUVENDU.log"));
  EXPECT_EQ(fresh.out.find("RadoveDuvudePARUVENDU.log"), std::string::npos) << fresh.out;

  fs::remove_all(tree / "c/windows/TEMP");
  WriteFile(tree / "c/windows/TEMP", "not a folder");
  CommandResult broken = RunProgram(tree, "paruvendu");
  EXPECT_EQ(broken.status, kExitRunError);
  EXPECT_NE(broken.out.find("RadoveDuvudePARUVENDU.log"), std::string::npos);
}

TEST(HeadlessProgramTest, OptionsBeginWithTwoDashes) {
  TempTree tree;
  WriteFile(tree / "Listelo.ini", "[Options]\n");
  struct Case {
    const char* args;
    int status;
    const char* out_holds;  // standard output and error
  };
  const Case cases[] = {
      {"--help", kExitFinished, "--check CIBLE"},
      {"--version", kExitFinished, "FileVersion : "},
      {"--check", kExitBadArguments, "Usage :"},
      {"--check PVO VPN", kExitBadArguments, "Usage :"},
      {"--bogus", kExitBadArguments, "Usage :"},
      {"--check NOPE", kExitBadArguments, "NOPE"},
      {"--check PARUVENDU", kExitRunError, "Configuration"},  // no source, no servers
  };
  for (const Case& c : cases) {
    const CommandResult result = RunProgram(tree, c.args);
    EXPECT_EQ(result.status, c.status) << c.args;
    EXPECT_NE(result.out.find(c.out_holds), std::string::npos) << c.args << result.out;
  }
  EXPECT_FALSE(fs::exists(tree / "c")) << "a check writes nothing";
}

}  // namespace
}  // namespace listelo
