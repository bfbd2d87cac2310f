#include "app/history.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <ostream>
#include <vector>

#include "app/files.h"
#include "app/run.h"
#include "platform/text.h"

namespace listelo {
namespace {

using Json = nlohmann::json;

constexpr size_t kShownRuns = 20;

Json Utf8(std::string_view ansi) { return AnsiToUtf8(ansi); }

// The history's lines that read as objects, oldest first.
std::vector<Json> ReadHistory(const Run& run) {
  std::vector<Json> entries;
  std::ifstream in(run.HostPath(HistoryFileName(run)), std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    Json entry = Json::parse(line, nullptr, false);
    if (entry.is_object()) entries.push_back(std::move(entry));
  }
  return entries;
}

std::string EntryText(const Json& entry, const char* key) {
  const auto it = entry.find(key);
  if (it == entry.end()) return "";
  return it->is_string() ? it->get<std::string>() : it->dump();
}

// One line of the table: a cursor's error spans several.
std::string OneLine(std::string text) {
  std::replace(text.begin(), text.end(), '\r', ' ');
  std::replace(text.begin(), text.end(), '\n', ' ');
  return text.substr(0, 200);
}

// The closing result of a run: its error, else its last delivery's result text.
std::string ResultOf(const Json& entry) {
  if (const std::string error = EntryText(entry, "error"); !error.empty()) return OneLine(error);
  const auto deliveries = entry.find("deliveries");
  if (deliveries == entry.end() || !deliveries->is_array() || deliveries->empty()) return "";
  return EntryText(deliveries->back(), "result");
}

}  // namespace

std::string HistoryFileName(const Run& run) {
  return run.WindowsFolder() + "\\TEMP\\Listelo\\history.jsonl";
}

std::string IsoTime(const DateTime& when) {
  const int offset = when.utc_offset_minutes;
  const int magnitude = offset < 0 ? -offset : offset;
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", when.year,
                when.month, when.day, when.hour, when.minute, when.second, offset < 0 ? '-' : '+',
                magnitude / 60, magnitude % 60);
  return text;
}

void AppendRunHistory(Run& run, const DateTime& start, int exit_status, std::string_view error) {
  const RunState& state = run.state;
  Json deliveries = Json::array();
  for (const DeliveryRecord& d : state.deliveries) {
    deliveries.push_back({{"file", Utf8(d.file)}, {"size", d.size}, {"result", Utf8(d.result)}});
  }
  const Json entry = {{"target", state.export_target},
                      {"start", IsoTime(start)},
                      {"end", IsoTime(run.host().clock.Now())},
                      {"exit_status", exit_status},
                      {"vehicles", state.vehicle_count},
                      {"photos", state.photo_count},
                      {"updated_photos", state.updated_photo_count},
                      {"deliveries", deliveries},
                      {"forced", state.forced},
                      {"error", Utf8(error)}};
  const std::string file = HistoryFileName(run);
  try {
    std::error_code ec;
    std::filesystem::create_directories(run.HostPath(file).parent_path(), ec);
    // One write of the whole line: runs of several targets may end at the same moment.
    WriteFileBytes(run.HostPath(file),
                   entry.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n",
                   FileWriteMode::kAppend, FilePrivacy::kOwnerOnly);
  } catch (const std::exception& e) {
    run.window().AddLine(std::string("Historique non écrit : ") + e.what());
  }
}

std::optional<int> LastFinishedVehicleCount(const Run& run, std::string_view target) {
  std::optional<int> count;
  for (const Json& entry : ReadHistory(run)) {
    const auto vehicles = entry.find("vehicles");
    if (EntryText(entry, "target") == target && EntryText(entry, "exit_status") == "0" &&
        vehicles != entry.end() && vehicles->is_number_integer()) {
      count = vehicles->get<int>();
    }
  }
  return count;
}

void PrintRunHistory(const Run& run, std::string_view target, std::ostream& out) {
  std::vector<Json> entries = ReadHistory(run);
  std::erase_if(entries,
                [&](const Json& e) { return !target.empty() && EntryText(e, "target") != target; });
  if (entries.size() > kShownRuns) entries.erase(entries.begin(), entries.end() - kShownRuns);
  char line[512];
  std::snprintf(line, sizeof line, "%-25s %-15s %-6s %8s  %s\n", "date", "target", "status",
                "vehicles", "result");
  out << line;
  for (const Json& e : entries) {
    std::string status = EntryText(e, "exit_status");
    if (EntryText(e, "forced") == "true") status += " (forced)";
    std::snprintf(line, sizeof line, "%-25s %-15s %-6s %8s  %s\n", EntryText(e, "end").c_str(),
                  EntryText(e, "target").c_str(), status.c_str(), EntryText(e, "vehicles").c_str(),
                  ResultOf(e).c_str());
    out << line;
  }
}

}  // namespace listelo
