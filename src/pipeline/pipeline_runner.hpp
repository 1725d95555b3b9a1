// The worker's entry: one run of the selected task.
#pragma once

#include <string>

// The two path fields of the window, edited on the GUI thread and read once at the start of a run;
// each read and write is whole, under a lock.
std::string ClientPathText();
std::string OutputPathText();
void SetClientPathText(const std::string& text);
void SetOutputPathText(const std::string& text);

// What a run is asked for beyond the two paths, set by the front end before it starts the run.
struct RunOptions {
  bool dryRun = false;     // plan only: nothing below the output or mirror root is created or written
  bool convert = false;    // also a .glb beside every exported .gr2 and a .png beside every .dds / .tga
  std::string reportFile;  // the report's JSON also here (on a dry run, only here); internal path
};
RunOptions GetRunOptions();
void SetRunOptions(const RunOptions& options);

// Converts one exported file into its open-format twin beside it; false with a reason when it
// cannot. Front ends that carry the converters register one; without it nothing is converted.
using ExportConverter = bool (*)(const std::string& exportedFile, std::string& reason);
void SetExportConverter(ExportConverter converter);

// Runs the task of `selectedTask` (see task_table.hpp); a selectedTask outside the four kinds runs
// nothing.
void RunPipeline();
