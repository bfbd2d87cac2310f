// The run history and the collapsed-stock guard, on whole ParuVendu runs against a real
// FTP gateway.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "app/history.h"
#include "app/shell.h"
#include "platform/text.h"
#include "support/ftp_server.h"
#include "support/temp_tree.h"

namespace listelo {
namespace {
namespace fs = std::filesystem;
using Json = nlohmann::json;
using testing::FtpServer;
using testing::ReadFile;
using testing::RunFixture;
using testing::WriteFile;

// A stock of `vehicles` vehicles without photos.
std::string Stock(int vehicles) {
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<document><DataVOS>";
  for (int i = 1; i <= vehicles; ++i) {
    text += "<DataVO><idVO>" + std::to_string(i) + "</idVO><idNVO>" + std::to_string(i) +
            "</idNVO><TypeVO>2</TypeVO><Rubrique>Renault</Rubrique></DataVO>";
  }
  return text + "</DataVOS></document>\n";
}

class HistoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gateway_ = FtpServer::Shared().NewAccount();
    WriteIni("");
    testing::UseFastFtpTimeouts(f_.run());
  }

  void WriteIni(const std::string& options, const std::string& target = "") {
    WriteFile(f_.tree().path() / "Listelo.ini",
              "[Options]\nDebug=0\n" + options + "\n[PARUVENDU]\nServeurFTP=" +
                  FtpServer::Shared().HostPort() + "\nUser=" + gateway_.user +
                  "\nPassWord=" + gateway_.password + "\n" + target + "\n");
  }

  void WriteStock(int vehicles) {
    WriteFile(f_.HostPath("c:\\projects\\Quarno\\data\\Listelo\\ExpDatasPARUVENDU.xml"),
              Stock(vehicles));
  }

  // A run as the scheduler makes it: its error text, empty when none escaped.
  std::string Run(bool forced = false) {
    f_.run().state = RunState{};
    f_.run().state.forced = forced;
    try {
      StartExport(f_.run(), "PARUVENDU");
    } catch (const std::exception& e) {
      return e.what();
    }
    return "";
  }

  std::vector<Json> History() const {
    std::vector<Json> lines;
    std::istringstream in(ReadFile(f_.HostPath("c:\\windows\\TEMP\\Listelo\\history.jsonl")));
    for (std::string line; std::getline(in, line);) lines.push_back(Json::parse(line));
    return lines;
  }

  int Uploads() const {
    return testing::Count(FtpServer::Shared().Commands(gateway_.user), "STOR");
  }

  RunFixture f_{nullptr};
  FtpServer::Account gateway_;
};

TEST_F(HistoryTest, EveryRunAppendsOneLine) {
  WriteStock(3);
  EXPECT_EQ(Run(), "");
  fs::remove(f_.HostPath("c:\\projects\\Quarno\\data\\Listelo\\ExpDatasPARUVENDU.xml"));
  const std::string error = Run();
  ASSERT_NE(error, "");

  const std::vector<Json> history = History();
  ASSERT_EQ(history.size(), 2u);
  const Json& done = history[0];
  EXPECT_EQ(done["target"], "PARUVENDU");
  EXPECT_EQ(done["start"], "2026-12-08T14:03:09+00:00");
  EXPECT_EQ(done["exit_status"], 0);
  EXPECT_EQ(done["vehicles"], 3);
  EXPECT_EQ(done["forced"], false);
  EXPECT_EQ(done["error"], "");
  ASSERT_EQ(done["deliveries"].size(), 1u);
  const Json& delivery = done["deliveries"][0];
  EXPECT_EQ(delivery["result"], "Transfert FTP OK : ");
  const std::string file = delivery["file"];
  EXPECT_TRUE(file.ends_with("\\TEMP\\Listelo\\DorvaneDatasVO-20261208.xml")) << file;
  EXPECT_EQ(delivery["size"], fs::file_size(f_.HostPath(file)));

  EXPECT_EQ(history[1]["exit_status"], 1);
  EXPECT_EQ(history[1]["error"], AnsiToUtf8(error));  // UTF-8 in the file
  EXPECT_TRUE(history[1]["deliveries"].empty());

  struct stat info {};
  ASSERT_EQ(stat(f_.HostPath("c:\\windows\\TEMP\\Listelo\\history.jsonl").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  std::ostringstream out;
  PrintRunHistory(f_.run(), "PARUVENDU", out);
  const std::string table = out.str();
  EXPECT_NE(table.find("Transfert FTP OK"), std::string::npos) << table;
  EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 3) << table;
}

TEST_F(HistoryTest, ACollapsedStockIsNotSentUnlessForced) {
  WriteIni("MaxDrop=50");
  WriteStock(10);
  EXPECT_EQ(Run(), "");  // no finished run before: nothing to compare with
  EXPECT_EQ(Uploads(), 1);

  WriteStock(5);  // exactly half: still sent
  EXPECT_EQ(Run(), "");
  EXPECT_EQ(Uploads(), 2);

  WriteStock(2);  // below half of the last finished run (5)
  const std::string error = Run();
  EXPECT_NE(error.find("2 véhicules"), std::string::npos) << error;
  EXPECT_NE(error.find("contre 5"), std::string::npos) << error;
  EXPECT_NE(error.find("MaxDrop=50"), std::string::npos) << error;
  EXPECT_EQ(Uploads(), 2);
  EXPECT_FALSE(f_.run().state.run_finished);

  EXPECT_EQ(Run(/*forced=*/true), "");
  EXPECT_EQ(Uploads(), 3);
  const std::vector<Json> history = History();
  ASSERT_EQ(history.size(), 4u);
  EXPECT_EQ(history[2]["exit_status"], 1);
  EXPECT_EQ(history[2]["vehicles"], 2);
  EXPECT_EQ(history[3]["forced"], true);

  WriteStock(0);  // an empty stock is a drop of 100%
  EXPECT_NE(Run(), "");
  EXPECT_EQ(Uploads(), 3);

  WriteIni("MaxDrop=10", "MaxDrop=100");  // the target's section wins over Options
  EXPECT_EQ(Run(), "");
}

TEST_F(HistoryTest, WithoutTheKeyNothingIsCompared) {
  WriteStock(10);
  EXPECT_EQ(Run(), "");
  WriteStock(0);
  EXPECT_EQ(Run(), "");
  EXPECT_EQ(Uploads(), 2);
}

}  // namespace
}  // namespace listelo
