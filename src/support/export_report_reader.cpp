#include "support/export_report_reader.hpp"

#include <nlohmann/json.hpp>

#include "platform/platform.hpp"
#include "support/bounded_read.hpp"
#include "support/contained_path.hpp"

namespace {

using nlohmann::json;

// A report larger than this is not one a run of ours wrote.
constexpr std::size_t kMaxReportBytes = std::size_t(256) << 20;

std::string Text(const json& object, const char* key) {
  const auto found = object.find(key);
  return found != object.end() && found->is_string() ? BytesOfSafeText(found->get<std::string>())
                                                     : std::string();
}

const json& List(const json& object, const char* key) {
  static const json empty = json::array();
  const auto found = object.find(key);
  return found != object.end() && found->is_array() ? *found : empty;
}

}  // namespace

const std::vector<std::string>& ReportTaskFolders() {
  static const std::vector<std::string> folders = {"Exported_Models_MSM", "Exported_Models_ITEM",
                                                   "Exported_Models_NPC", "map_objects"};
  return folders;
}

std::string BytesOfSafeText(const std::string& text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    // U+EF00..U+EFFF is EE BC 80 .. EE BF BF in UTF-8.
    if (i + 2 < text.size() && byte(i) == 0xEE && byte(i + 1) >= 0xBC && byte(i + 1) <= 0xBF &&
        (byte(i + 2) & 0xC0) == 0x80) {
      bytes += static_cast<char>(((byte(i + 1) & 0x03) << 6) | (byte(i + 2) & 0x3F));
      i += 2;
    } else {
      bytes += text[i];
    }
  }
  return bytes;
}

bool ParseExportReport(const std::string& text, const std::string& taskFolder, ReportedRun& out,
                       std::string& error) {
  const json report = json::parse(text, nullptr, false);
  if (report.is_discarded() || !report.is_object() || !report.contains("bundles")) {
    error = "not an export report";
    return false;
  }
  out = ReportedRun();
  out.kind = Text(report, "kind");
  out.taskFolder = taskFolder;
  const auto run = report.find("run");
  if (run != report.end() && run->is_object()) {
    out.task = Text(*run, "task");
    out.outcome = Text(*run, "outcome");
  }
  for (const json& entry : List(report, "bundles")) {
    if (!entry.is_object()) continue;
    ReportedBundle bundle;
    bundle.task = out.task;
    bundle.folder = Text(entry, "folder");
    for (const json& file : List(entry, "files")) {
      if (!file.is_object()) continue;
      ReportedFile reported;
      reported.relative = Text(file, "path");
      reported.path = JoinUnderRoot(taskFolder, reported.relative);
      const auto bytes = file.find("bytes");
      if (bytes != file.end() && bytes->is_number_unsigned()) reported.bytes = bytes->get<std::uint64_t>();
      bundle.files.push_back(std::move(reported));
    }
    for (const json& missing : List(entry, "missing")) {
      if (missing.is_object())
        bundle.missing.push_back(Text(missing, "reference") + " (" + Text(missing, "namedBy") + ")");
    }
    for (const json& refused : List(entry, "refused")) {
      if (refused.is_string()) bundle.refused.push_back(BytesOfSafeText(refused.get<std::string>()));
    }
    out.bundles.push_back(std::move(bundle));
  }
  return true;
}

std::vector<ReportedRun> ReadExportReports(const std::string& outputRoot, std::vector<std::string>& errors) {
  std::vector<ReportedRun> runs;
  for (const std::string& name : ReportTaskFolders()) {
    const std::string taskFolder = JoinUnderRoot(outputRoot, name);
    const std::string file = JoinUnderRoot(taskFolder, "export_report.json");
    // Not FileExists: it reads the run roots, which a run starting meanwhile writes.
    const std::uint32_t attributes =
        file.empty() ? platform::kInvalidAttributes : platform::GetFileAttributes(file);
    if (attributes == platform::kInvalidAttributes || (attributes & platform::kAttributeDirectory) != 0)
      continue;
    std::string text;
    std::string error;
    ReportedRun run;
    if (!ReadBoundedFile(file, kMaxReportBytes, text, error) ||
        !ParseExportReport(text, taskFolder, run, error)) {
      errors.push_back(file + ": " + error);
      continue;
    }
    runs.push_back(std::move(run));
  }
  return runs;
}
