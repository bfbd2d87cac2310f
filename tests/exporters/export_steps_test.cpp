// The steps the exporters share that the case folders do not pin down on their own: the
// photo addresses and slots, the reference's lead, the connection fields of a named
// section and the file to deliver.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/errors.h"
#include "app/ini_file.h"
#include "app/run.h"
#include "exporters/export_output.h"
#include "exporters/export_steps.h"
#include "support/temp_tree.h"
#include "xml/stock_document.h"

namespace listelo {
namespace {
namespace fs = std::filesystem;
using testing::ReadFile;
using testing::RunFixture;
using testing::WriteFile;

XmlCursorPtr LoadStock(const Run& run) {
  XmlCursorPtr document = CreateXmlCursor(run.paths());
  document->Load(std::string(LISTELO_TEST_DATA) + "/xml/Stock.xml");
  return document;
}

TEST(PhotoStepsTest, AddressesOfAVehiclesPhotosInDocumentOrder) {
  RunFixture f;
  f.run().state.url_images = "http://images.concession.invalid/vo";
  XmlCursorPtr document = LoadStock(f.run());
  using Addresses = std::vector<std::string>;
  EXPECT_EQ(VehiclePhotoAddresses(f.run(), *document, "12", kAllPhotos),
            (Addresses{"http://images.concession.invalid/vo/2024/vo12-a.jpg",
                       "http://images.concession.invalid/vo/2024/vo12-b.jpg"}));
  EXPECT_EQ(VehiclePhotoAddresses(f.run(), *document, "12", 1),
            (Addresses{"http://images.concession.invalid/vo/2024/vo12-a.jpg"}));
  EXPECT_EQ(VehiclePhotoAddresses(f.run(), *document, "12", 0), Addresses{});
  EXPECT_EQ(VehiclePhotoAddresses(f.run(), *document, "99", 6), Addresses{});
}

TEST(PhotoStepsTest, FirstEmptyOrMissingSlotTakesTheAddress) {
  RunFixture f;
  XmlCursorPtr document = LoadStock(f.run());
  XmlCursorPtr vehicle = SelectVehicles(*document);
  // NomPhoto1 stands empty: it is taken first; NomPhoto2 is missing and is added.
  EXPECT_EQ(FillFirstEmptySlot(*vehicle, "NomPhoto", 3, "p1"), 1);
  EXPECT_EQ(FillFirstEmptySlot(*vehicle, "NomPhoto", 3, "p2"), 2);
  EXPECT_EQ(FillFirstEmptySlot(*vehicle, "NomPhoto", 3, "p3"), 3);
  EXPECT_EQ(FillFirstEmptySlot(*vehicle, "NomPhoto", 3, "p4"), 0);  // all taken
  EXPECT_EQ(vehicle->GetValue("NomPhoto1"), "p1");
  EXPECT_EQ(vehicle->GetValue("NomPhoto2"), "p2");
  EXPECT_EQ(vehicle->GetValue("NomPhoto3"), "p3");
  EXPECT_EQ(vehicle->GetValue("NomPhoto4"), "");
}

TEST(ReferenceStepsTest, NoLeadForVehiclesOfType1) {
  struct Case {
    const char* type_vo;
    const char* lead;
  };
  const Case cases[] = {{"1", ""},       {" 1 ", ""},       {"+1", ""}, {"2", "Peugeot"},
                        {"", "Peugeot"}, {"1a", "Peugeot"}, {"01", ""}, {"11", "Peugeot"}};
  for (const Case& c : cases) {
    EXPECT_EQ(AdReferenceLead("Peugeot", c.type_vo), c.lead) << "TypeVO " << c.type_vo;
  }
  RunFixture f;
  XmlCursorPtr document = LoadStock(f.run());
  XmlCursorPtr vehicle = SelectVehicles(*document);  // TypeVO 2, no RefSite nor RefExpo
  EXPECT_EQ(RecordAdReference(f.run(), *vehicle, "Citroën"), "Ci49");
  vehicle->Next();  // TypeVO 1
  EXPECT_EQ(RecordAdReference(f.run(), *vehicle, "Peugeot"), "49");
}

TEST(ConnectionStepsTest, GatewayFromANamedSectionWithDefaults) {
  RunFixture f;
  f.run().set_ini(
      IniFile::FromText("[SITAUTOPRO-C1]\nServeurFTP=ftp.site1.invalid\nUser=site1\n"
                        "[VOImages]\nPathFTP=www/photos\n"));
  const ConnectionDefaults defaults = {"ftp.default.invalid", "nobody", "secret", "in"};
  LoadGatewayFields(f.run(), "SITAUTOPRO-C1", defaults);
  EXPECT_EQ(f.window().GetField(Field::kServeur), "ftp.site1.invalid");
  EXPECT_EQ(f.window().GetField(Field::kUser), "site1");
  EXPECT_EQ(f.window().GetField(Field::kPassword), "secret");
  EXPECT_EQ(f.window().GetField(Field::kRepert), "in");

  LoadImageServerFields(f.run(), kMakerImageServerDefaults);
  EXPECT_EQ(f.window().GetField(Field::kServeurVOImages), kMakerImageServerDefaults.server);
  EXPECT_EQ(f.window().GetField(Field::kUserVOImages), kMakerImageServerDefaults.user);
  EXPECT_EQ(f.window().GetField(Field::kRepertVOImages), "www/photos");
}

TEST(FolderFilesTest, MatchingFilesInWindowsForm) {
  RunFixture f;
  for (const char* name : {"b.csv", "A.CSV", "notes.txt"}) {
    WriteFile(f.HostPath(std::string("c:\\windows\\TEMP\\LArgus\\") + name), "x");
  }
  // The folder is named in another letter case than it was made with, as on Windows.
  EXPECT_EQ(ListFolderFiles(f.run(), "c:\\Windows\\Temp\\LArgus", "*.csv"),
            (std::vector<std::string>{"c:\\Windows\\Temp\\LArgus\\A.CSV",
                                      "c:\\Windows\\Temp\\LArgus\\b.csv"}));
  EXPECT_TRUE(ListFolderFiles(f.run(), "c:\\windows\\TEMP\\none", "*.csv").empty());
}

TEST(DeliveryFileTest, WrittenWholeOrTheRunStops) {
  RunFixture f;
  const std::string file = "c:\\windows\\TEMP\\Listelo\\new\\client.csv";
  WriteDeliveryFile(f.run(), file, "a;b\r\n");  // the missing folders are made
  EXPECT_EQ(ReadFile(f.HostPath(file)), "a;b\r\n");

  // A folder standing where the file should be: the run stops, naming the file.
  fs::create_directories(f.HostPath("c:\\windows\\TEMP\\Listelo\\taken.csv"));
  try {
    WriteDeliveryFile(f.run(), "c:\\windows\\TEMP\\Listelo\\taken.csv", "x");
    ADD_FAILURE() << "the write was reported as done";
  } catch (const IoError& error) {
    EXPECT_NE(std::string(error.what()).find("taken.csv"), std::string::npos) << error.what();
  }
}

}  // namespace
}  // namespace listelo
