// The account each task run leaves: the journal started before the task, and after it the report
// files in the task folder (or only the file the user named, on a dry run), the plan lines of a dry
// run and the summary line in the window log.
#pragma once

#include <string>

#include "pipeline/pipeline_runner.hpp"

struct TaskInfo;

// Starts recording a run of `task`; `outputRoot` is the run's output root (before the task points
// it at its own folder).
void BeginRunReport(const TaskInfo& task, const std::string& outputRoot, const RunOptions& options);

// Converts what the run exported (when asked), ends the recording and writes the report.
// `outcome` is "completed", "stopped" or "error" (with `error`). Never throws.
void EndRunReport(const RunOptions& options, const std::string& outcome, const std::string& error);

// The summary line and the text report of the last run; empty before the first.
struct LastRunReport {
  std::string summary;
  std::string textReport;  // export_report.txt, when one was written
};
LastRunReport GetLastRunReport();
