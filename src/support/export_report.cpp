#include "support/export_report.hpp"

#include <algorithm>
#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "platform/platform.hpp"

namespace {

using nlohmann::ordered_json;

std::string Native(const std::string& path) {
  return path.empty() ? path : platform::ToNativePath(path).value_or(path);
}

// Below `root`: the rest of the path; elsewhere the whole path in native form.
std::string RelativeTo(const std::string& path, std::string root) {
  if (!root.empty() && root.back() != '\\') root += '\\';
  if (!root.empty() && path.size() > root.size() && path.compare(0, root.size(), root) == 0) {
    // A path joined onto a root that already ended in "\\" carries the separator twice.
    const std::size_t start = path.find_first_not_of('\\', root.size());
    return start == std::string::npos ? std::string() : path.substr(start);
  }
  return Native(path);
}

// One record per destination: a file written twice was overwritten, the last copy is what is there.
std::vector<JournalFile> DistinctFiles(const std::vector<JournalFile>& files) {
  std::vector<JournalFile> distinct;
  std::map<std::string, std::size_t> position;
  for (const JournalFile& file : files) {
    const auto found = position.find(file.destination);
    if (found == position.end()) {
      position.emplace(file.destination, distinct.size());
      distinct.push_back(file);
    } else {
      distinct[found->second] = file;
    }
  }
  return distinct;
}

std::size_t Utf8SequenceLength(const std::string& text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned min = 0;
  unsigned code = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, min = 0x80, code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, min = 0x800, code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, min = 0x10000, code = lead & 0x07;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(at + i) & 0x3F);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

ordered_json FileJson(const JournalFile& file, const std::string& taskFolder, const std::string& clientRoot) {
  return ordered_json{
      {"path", JsonSafeText(RelativeTo(file.destination, taskFolder))},
      {"source", JsonSafeText(file.source.empty() ? "" : RelativeTo(file.source, clientRoot))},
      {"bytes", file.bytes}};
}

ordered_json FilesJson(const std::vector<JournalFile>& files, const std::string& root,
                       const std::string& clientRoot) {
  ordered_json list = ordered_json::array();
  for (const JournalFile& file : DistinctFiles(files)) list.push_back(FileJson(file, root, clientRoot));
  return list;
}

std::string Megabytes(std::uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof(text), "%.1f", static_cast<double>(bytes) / (1024.0 * 1024.0));
  return text;
}

}  // namespace

std::string JsonSafeText(const std::string& bytes) {
  std::string safe;
  safe.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t length = Utf8SequenceLength(bytes, i);
    if (length > 0) {
      safe.append(bytes, i, length);
      i += length;
      continue;
    }
    const unsigned code = 0xEF00u + static_cast<unsigned char>(bytes[i++]);
    safe += static_cast<char>(0xE0 | (code >> 12));
    safe += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    safe += static_cast<char>(0x80 | (code & 0x3F));
  }
  return safe;
}

ReportTotals TotalsOf(const ExportJournal& journal) {
  ReportTotals totals;
  std::set<std::string> missing;
  for (const JournalBundle& bundle : journal.bundles) {
    const std::vector<JournalFile> files = DistinctFiles(bundle.files);
    if (files.empty()) continue;
    ++totals.bundles;
    totals.files += files.size();
    for (const JournalFile& file : files) totals.bytes += file.bytes;
    totals.mirrorCopies += DistinctFiles(bundle.mirrorCopies).size();
  }
  for (const JournalBundle& bundle : journal.bundles) {
    for (const JournalReference& reference : bundle.missing) missing.insert(reference.reference);
    totals.refused += bundle.refused.size();
  }
  for (const JournalFile& file : DistinctFiles(journal.otherFiles)) {
    ++totals.files;
    totals.bytes += file.bytes;
  }
  totals.missingReferences = missing.size();
  for (const JournalLeftOut& entry : journal.leftOut) {
    ++totals.leftOut;
    if (entry.reason == "standard") ++totals.skippedAsStandard;
    if (entry.reason == "refused") ++totals.refused;
  }
  return totals;
}

std::string ReportJson(const ExportJournal& journal, const ReportRunInfo& run) {
  const std::string& clientRoot = run.clientRoot;
  ordered_json selections = ordered_json::array();
  for (const std::string& answer : journal.selections) selections.push_back(JsonSafeText(answer));
  ordered_json report{{"kind", journal.plan ? "plan" : "export"},
                      {"run",
                       {{"version", run.version},
                        {"task", journal.task},
                        {"clientRoot", JsonSafeText(Native(run.clientRoot))},
                        {"outputRoot", JsonSafeText(Native(run.outputRoot))},
                        {"mirrorRoot", JsonSafeText(Native(run.mirrorRoot))},
                        {"referenceFolder", JsonSafeText(Native(run.referenceFolder))},
                        {"selections", selections},
                        {"start", run.startTime},
                        {"end", run.endTime},
                        {"outcome", run.outcome},
                        {"error", JsonSafeText(run.error)}}}};
  ordered_json bundles = ordered_json::array();
  for (const JournalBundle& bundle : journal.bundles) {
    ordered_json missing = ordered_json::array();
    for (const JournalReference& reference : bundle.missing) {
      missing.push_back({{"reference", JsonSafeText(reference.reference)}, {"namedBy", reference.namedBy}});
    }
    ordered_json refused = ordered_json::array();
    for (const std::string& path : bundle.refused) refused.push_back(JsonSafeText(path));
    bundles.push_back(
        {{"folder", JsonSafeText(RelativeTo(bundle.folder, journal.taskFolder))},
         {"origin",
          {{"file", JsonSafeText(RelativeTo(bundle.originFile, clientRoot))}, {"line", bundle.originLine}}},
         {"files", FilesJson(bundle.files, journal.taskFolder, clientRoot)},
         {"mirrorCopies", FilesJson(bundle.mirrorCopies, run.mirrorRoot, clientRoot)},
         {"missing", missing},
         {"refused", refused}});
  }
  report["bundles"] = bundles;
  report["otherFiles"] = FilesJson(journal.otherFiles, journal.taskFolder, clientRoot);
  ordered_json leftOut = ordered_json::array();
  for (const JournalLeftOut& entry : journal.leftOut) {
    leftOut.push_back({{"entry", JsonSafeText(entry.entry)},
                       {"reason", entry.reason},
                       {"rule", entry.rule},
                       {"key", JsonSafeText(entry.key)}});
  }
  report["leftOut"] = leftOut;
  const ReportTotals totals = TotalsOf(journal);
  report["totals"] = {{"bundles", totals.bundles},
                      {"files", totals.files},
                      {"bytes", totals.bytes},
                      {"mirrorCopies", totals.mirrorCopies},
                      {"missingReferences", totals.missingReferences},
                      {"skippedAsStandard", totals.skippedAsStandard},
                      {"leftOut", totals.leftOut},
                      {"refused", totals.refused}};
  return report.dump(2, ' ', false, ordered_json::error_handler_t::replace) + "\n";
}

std::string ReportText(const ExportJournal& journal, const ReportRunInfo& run) {
  std::map<std::string, std::set<std::string>> neededBy;
  for (const JournalBundle& bundle : journal.bundles) {
    for (const JournalReference& reference : bundle.missing) {
      neededBy[reference.reference].insert(RelativeTo(bundle.folder, journal.taskFolder));
    }
  }
  std::string text = (journal.plan ? "Export plan: " : "Export report: ") + journal.task + "\r\n";
  text += "Outcome: " + run.outcome + (run.error.empty() ? "" : " (" + run.error + ")") + "\r\n\r\n";
  text += "References not found (" + std::to_string(neededBy.size()) + "):\r\n";
  for (const auto& reference : neededBy) {
    text += reference.first + "\r\n";
    for (const std::string& bundle : reference.second) text += "    needed by " + bundle + "\r\n";
  }
  const ReportTotals totals = TotalsOf(journal);
  text += "\r\n" + SummaryLine(totals, std::string()) + "\r\n";
  return text;
}

std::string SummaryLine(const ReportTotals& totals, const std::string& reportPath) {
  std::string line = "Summary: " + std::to_string(totals.bundles) + " bundles, " +
                     std::to_string(totals.files) + " files (" + Megabytes(totals.bytes) + " MB), " +
                     std::to_string(totals.missingReferences) + " references not found, " +
                     std::to_string(totals.skippedAsStandard) + " skipped as standard, " +
                     std::to_string(totals.refused) + " refused.";
  if (!reportPath.empty()) line += " Report: " + Native(reportPath);
  return line;
}
