// Times the XML cursor on generated source stock documents of 2,000 and 20,000
// vehicles: load, the record walk, the photo lookups by idVO, the equipment labels,
// XML(), one replace-all pass over the text, LoadXML and Save. The ratio column should
// stay near 10 (linear in the stock).
#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "stock_generator.h"
#include "transforms/equipment.h"
#include "xml/stock_document.h"
#include "xml/xml_cursor.h"

namespace listelo {
namespace {
namespace fs = std::filesystem;

struct Step {
  const char* name;
  double seconds = 0;
};

double Time(const std::function<void()>& action) {
  auto start = std::chrono::steady_clock::now();
  action();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::vector<Step> Measure(int vehicles, const fs::path& folder, double& megabytes) {
  const fs::path source = folder / ("stock" + std::to_string(vehicles) + ".xml");
  const std::string bytes = bench::MakeStockDocument(vehicles);
  megabytes = static_cast<double>(bytes.size()) / 1e6;
  ReplaceFileAtomically(source, bytes);
  PathMapper paths(folder);
  XmlCursorPtr root = CreateXmlCursor(paths);
  std::string text;
  int found = 0;
  std::vector<Step> steps = {{"Load"},  {"walk + 12 fields"}, {"photo lookups"}, {"equipment"},
                             {"XML()"}, {"replace-all pass"}, {"LoadXML"},       {"Save"}};
  steps[0].seconds = Time([&] { root->Load(PathMapper::ToText(source)); });
  steps[1].seconds = Time([&] {
    XmlCursorPtr records = SelectVehicles(*root);
    for (; !records->Eof(); records->Next()) {
      std::string all;
      for (const char* field :
           {"idVO", "idNVO", "TypeVO", "Rubrique", "RefSite", "RefExpo", "id_Track", "telephone",
            "email", "SousRubrique", "ModeleVersion"}) {
        all += records->GetValue(field);
      }
      records->SetValue("idNVO", "BeAE07-" + records->GetValue("idNVO"));
    }
  });
  steps[2].seconds = Time([&] {
    XmlCursorPtr photos = SelectPhotos(*root);
    for (; !photos->Eof(); photos->Next()) {
      XmlCursorPtr vehicle = SelectVehicle(*root, photos->GetValue("idVO"));
      if (vehicle->Eof()) continue;
      for (int n = 1; n <= 6; ++n) {
        const std::string slot = "NomPhoto" + std::to_string(n);
        if (!vehicle->GetValue(slot).empty()) continue;
        vehicle->SetValue(slot, "http://photos/" + photos->GetValue("NomImage") + ".jpg");
        ++found;
        break;
      }
    }
  });
  steps[3].seconds = Time([&] {
    XmlCursorPtr records = SelectVehicles(*root);
    for (; !records->Eof(); records->Next()) {
      for (const char* field :
           {"EqutInterieur", "EqutExterieur", "EqutSecurite", "InfoComplement"}) {
        records->SetValue(field, ExpandEquipment(*records, records->GetValue(field)));
      }
    }
  });
  steps[4].seconds = Time([&] { text = root->XML(); });
  steps[5].seconds = Time([&] { text = AnsiReplaceAllIgnoreCase(text, "NomPhoto1>", "Photo1>"); });
  steps[6].seconds = Time([&] { root->LoadXML(text); });
  steps[7].seconds = Time([&] { root->Save(PathMapper::ToText(folder / "out.xml")); });
  if (found == 0) std::printf("(no photo was attached: the lookups found nothing)\n");
  return steps;
}

int Main() {
  const fs::path folder =
      fs::temp_directory_path() / ("listelo-xml-bench-" + std::to_string(getpid()));
  fs::create_directories(folder);
  double small_mb = 0;
  double large_mb = 0;
  std::vector<Step> small = Measure(2000, folder, small_mb);
  std::vector<Step> large = Measure(20000, folder, large_mb);
  fs::remove_all(folder);
  std::printf("%-20s %12s %12s %7s\n", "", "2,000 VO", "20,000 VO", "ratio");
  std::printf("%-20s %10.1fMB %10.1fMB %7.1f\n", "document", small_mb, large_mb,
              large_mb / small_mb);
  for (size_t i = 0; i < small.size(); ++i) {
    std::printf("%-20s %10.0fms %10.0fms %7.1f\n", small[i].name, small[i].seconds * 1000,
                large[i].seconds * 1000, large[i].seconds / small[i].seconds);
  }
  return 0;
}

}  // namespace
}  // namespace listelo

int main() { return listelo::Main(); }
