// The account a task run leaves in its task folder: export_report.json for tools, export_report.txt
// for people, and one summary line for the window log.
#pragma once

#include <cstdint>
#include <string>

#include "support/export_journal.hpp"

struct ReportRunInfo {
  std::string version;
  std::string clientRoot;
  std::string outputRoot;
  std::string mirrorRoot;
  std::string referenceFolder;
  std::string startTime;  // local time, "YYYY-MM-DD HH:MM:SS"
  std::string endTime;
  std::string outcome;  // "completed", "stopped" or "error"
  std::string error;
};

struct ReportTotals {
  std::size_t bundles = 0;
  std::size_t files = 0;  // distinct destinations below the task folder
  std::uint64_t bytes = 0;
  std::size_t mirrorCopies = 0;
  std::size_t missingReferences = 0;  // distinct references
  std::size_t skippedAsStandard = 0;
  std::size_t leftOut = 0;
  std::size_t refused = 0;
};

ReportTotals TotalsOf(const ExportJournal& journal);

// Text as JSON can carry it: valid UTF-8 stays as it is; every byte that is not part of valid
// UTF-8 becomes the private-use code point U+EF00 + byte, so the original bytes can be restored.
std::string JsonSafeText(const std::string& bytes);

std::string ReportJson(const ExportJournal& journal, const ReportRunInfo& run);
// The missing references, sorted, each with the bundles that needed it; then the totals.
std::string ReportText(const ExportJournal& journal, const ReportRunInfo& run);
// "Summary: N bundles, F files (S MB), M references not found, K skipped as standard, R refused.
// Report: <path>"
std::string SummaryLine(const ReportTotals& totals, const std::string& reportPath);
