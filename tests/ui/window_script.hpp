// Pieces of the window's test scripts (VINTREL_TEST_SCRIPT) shared by the Linux and the Windows
// window tests, and the comparison of what a run wrote with the command-line tool's output.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "cli/cli_run.hpp"
#include "support/test_environment.hpp"

namespace testenv {

inline std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// Every file below `folder` with its bytes. A run's JSON report names its own folders and times,
// which differ between any two runs: only its presence counts.
inline std::map<std::string, std::string> Contents(const std::string& folder) {
  std::map<std::string, std::string> contents;
  for (const std::string& file : FilesBelow(folder)) {
    const bool report = file.size() >= 18 && file.compare(file.size() - 18, 18, "export_report.json") == 0;
    contents[file] = report ? std::string("(report)") : ReadFile(folder + "\\" + file);
  }
  return contents;
}

// The number of questions a CLI run of that task printed (each lists its candidate 0).
inline int Questions(const CliRun& run) {
  int questions = 0;
  for (std::size_t at = run.out.find("\n  0: "); at != std::string::npos;
       at = run.out.find("\n  0: ", at + 1)) {
    ++questions;
  }
  return questions;
}

inline std::vector<std::string> SetPaths(const std::string& client, const std::string& output) {
  return {"type \"##cli\" " + Quoted(client), "type \"##out\" " + Quoted(output)};
}

// One run of `label` from the window: START, each question answered with `answer`, then idle.
inline void AddRun(std::vector<std::string>& script, const std::string& label, int questions,
                   const std::vector<std::string>& answer, int completedBefore) {
  script.push_back("click " + Quoted(label));
  script.push_back("expect-text " + Quoted(label) + " selected");
  script.push_back("click \"START PROCESSING\"");
  for (int i = 0; i < questions; ++i) {
    script.push_back("wait-shown \"CONFIRM SELECTION\"");
    script.insert(script.end(), answer.begin(), answer.end());
    script.push_back("expect-hidden \"CONFIRM SELECTION\"");
  }
  script.push_back("wait-idle");
  script.push_back("expect-log \"OK: Task Completed.\" " + std::to_string(completedBefore + 1));
}

}  // namespace testenv
