#include "support/cli_run.hpp"

#include <cstdlib>

#include "platform/platform.hpp"
#include "support/test_environment.hpp"

namespace testenv {

std::string NativePath(const std::string& internalPath) {
  return platform::ToNativePath(internalPath).value_or(internalPath);
}

CliRun RunProgram(const std::string& executable, const std::vector<std::string>& arguments) {
  ScopedTempDir folder("cli");
  const std::string outFile = folder.path() + "out.txt";
  std::string command = "\"" + NativePath(executable) + "\"";
  for (const std::string& a : arguments) command += " \"" + a + "\"";
  command += " > \"" + NativePath(outFile) + "\" 2> \"" + NativePath(folder.path() + "err.txt") + "\"";
#ifdef _WIN32
  // cmd.exe drops the outer quotes of a line that starts with one.
  command = "\"" + command + "\"";
#endif
  CliRun run;
  const int status = std::system(command.c_str());
#ifdef _WIN32
  run.exitCode = status;
#else
  run.exitCode = status == -1 ? -1 : (status >> 8) & 0xFF;  // the exit status inside the wait status
#endif
  std::string raw;
  platform::ReadWholeFile(outFile, raw);
  for (char c : raw) {
    if (c != '\r') run.out += c;
  }
  return run;
}

}  // namespace testenv
