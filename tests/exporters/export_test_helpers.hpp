// Shared by the exporter tests: run-root set-up and the summary records of debug.log.
#pragma once

#include <string>
#include <vector>

#include "support/client_paths.hpp"
#include "support/mirror_root.hpp"

namespace exporttest {

// The summary records of exported groups among debug.log lines.
inline std::vector<std::string> Records(const std::vector<std::string>& lines) {
  std::vector<std::string> records;
  for (const std::string& line : lines) {
    if (line.rfind("{\"object\":", 0) == 0) records.push_back(line);
  }
  return records;
}

// Sets the three run roots for one test and puts the previous ones back afterwards.
class ScopedRunRoots {
 public:
  ScopedRunRoots(const std::string& clientRoot, const std::string& outputRoot, const std::string& mirrorRoot)
      : saved_(GetPathSettings()) {
    GetPathSettings().clientRoot = clientRoot;
    GetPathSettings().outputRoot = outputRoot;
    GetPathSettings().mirrorRoot = mirrorRoot;
    PrepareMirrorRoot();
  }
  ~ScopedRunRoots() {
    GetPathSettings() = saved_;
    PrepareMirrorRoot();
  }
  ScopedRunRoots(const ScopedRunRoots&) = delete;
  ScopedRunRoots& operator=(const ScopedRunRoots&) = delete;

 private:
  PathSettings saved_;
};

}  // namespace exporttest
