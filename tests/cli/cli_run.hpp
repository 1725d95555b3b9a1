// Runs a program through the shell as a user would, capturing its exit code and standard output.
#pragma once

#include <cstdlib>
#include <string>
#include <vector>

#include "support/test_environment.hpp"

namespace testenv {

struct CliRun {
  int exitCode = -1;
  std::string out;  // standard output with every CR removed
};

// The native spelling of an internal path, for command lines.
inline std::string NativePath(const std::string& internalPath) {
  return platform::ToNativePath(internalPath).value_or(internalPath);
}

// Runs `executable` (internal path) with each argument quoted; standard error is discarded.
inline CliRun RunProgram(const std::string& executable, const std::vector<std::string>& arguments) {
  ScopedTempDir folder("cli");
  std::string command = "\"" + NativePath(executable) + "\"";
  for (const std::string& a : arguments) command += " \"" + a + "\"";
  command += " > \"" + NativePath(folder / "out.txt") + "\" 2> \"" + NativePath(folder / "err.txt") + "\"";
#ifdef _WIN32
  // cmd.exe drops the outer quotes of a line that starts with one.
  command = "\"" + command + "\"";
#endif
  CliRun run;
  // -1: no shell could be started (Wine now and then fails to start cmd.exe); not the program's answer.
  int status = -1;
  for (int attempt = 0; attempt < 3 && status == -1; ++attempt) status = std::system(command.c_str());
#ifdef _WIN32
  run.exitCode = status;
#else
  run.exitCode = status == -1 ? -1 : (status >> 8) & 0xFF;  // the exit status inside the wait status
#endif
  for (char c : ReadFile(folder / "out.txt")) {
    if (c != '\r') run.out += c;
  }
  return run;
}

}  // namespace testenv
