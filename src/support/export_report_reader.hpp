// The export reports a run leaves in its task folders, read back (the window's Preview lists their
// bundles): each bundle with its files as paths on this machine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ReportedFile {
  std::string relative;  // as the report names it, relative to the task folder
  std::string path;      // absolute internal path; empty when the name would lead outside the folder
  std::uint64_t bytes = 0;
};

struct ReportedBundle {
  std::string task;    // the run's task
  std::string folder;  // relative to the task folder
  std::vector<ReportedFile> files;
  std::vector<std::string> missing;  // "reference (named by)"
  std::vector<std::string> refused;
};

struct ReportedRun {
  std::string kind;  // "export" or "plan"
  std::string task;
  std::string outcome;
  std::string taskFolder;
  std::vector<ReportedBundle> bundles;
};

// The task folders below an output root that a run can leave a report in.
const std::vector<std::string>& ReportTaskFolders();

// The text JsonSafeText made, with every U+EF00 + byte turned back into that byte.
std::string BytesOfSafeText(const std::string& text);

// `json` is an export_report.json of a run below `taskFolder`; false with the reason when it is not.
bool ParseExportReport(const std::string& json, const std::string& taskFolder, ReportedRun& out,
                       std::string& error);

// The reports of every task folder below `outputRoot` that has one, in the order of
// ReportTaskFolders; a report that cannot be read adds its reason to `errors`.
std::vector<ReportedRun> ReadExportReports(const std::string& outputRoot, std::vector<std::string>& errors);
