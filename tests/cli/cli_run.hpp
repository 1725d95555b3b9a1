// Runs a program through the shell as a user would, capturing its exit code and standard output.
#pragma once

#include <string>
#include <vector>

namespace testenv {

struct CliRun {
  int exitCode = -1;
  std::string out;  // standard output with every CR removed
};

// The native spelling of an internal path, for command lines.
std::string NativePath(const std::string& internalPath);

// Runs `executable` (internal path) with each argument quoted; standard error is discarded.
CliRun RunProgram(const std::string& executable, const std::vector<std::string>& arguments);

}  // namespace testenv
