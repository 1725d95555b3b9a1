#include "platform/path_rules.hpp"
#include "platform/platform.hpp"
#include "platform/win32/win32_support.hpp"

namespace platform {
namespace {

bool LooksLikeAddress(const std::string& text) {
  return text.find("://") != std::string::npos || text.rfind("mailto:", 0) == 0;
}

// One argument quoted the way the C runtime splits a command line back into arguments.
std::string QuotedArgument(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  return quoted + "\"";
}

}  // namespace

bool OpenInShell(const std::string& pathOrAddress) {
  const std::string target = LooksLikeAddress(pathOrAddress) ? pathOrAddress : WithBackslashes(pathOrAddress);
  const HINSTANCE result =
      ShellExecuteW(nullptr, L"open", win32::Widen(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

void ShowMessageBox(const std::string& title, const std::string& text) {
  MessageBoxW(nullptr, win32::Widen(text).c_str(), win32::Widen(title).c_str(), MB_ICONERROR);
}

bool StartDetachedProcess(const std::string& executable, const std::vector<std::string>& arguments,
                          const std::string& workingFolder) {
  // Arguments go into the command line as they are: the caller quotes what the program expects
  // quoted (cmd.exe reads its own rules, not the C runtime's). Only the program name is quoted here.
  const std::string program = WithBackslashes(executable);
  std::string commandLine =
      program.find(' ') != std::string::npos && program.front() != '"' ? "\"" + program + "\"" : program;
  for (const std::string& argument : arguments) commandLine += " " + argument;
  std::wstring wide = win32::Widen(commandLine);
  const std::wstring folder =
      workingFolder.empty() ? std::wstring() : win32::Widen(WithBackslashes(workingFolder));

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  // A new process group keeps it alive through a Ctrl+C meant for this console.
  if (!CreateProcessW(nullptr, wide.data(), nullptr, nullptr, FALSE,
                      CREATE_NO_WINDOW | CREATE_NEW_PROCESS_GROUP, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

ProgramOutput RunProgramForOutput(const std::string& executable, const std::vector<std::string>& arguments) {
  ProgramOutput result;
  std::string commandLine = QuotedArgument(WithBackslashes(executable));
  for (const std::string& argument : arguments) commandLine += " " + QuotedArgument(argument);
  std::wstring wide = win32::Widen(commandLine);

  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) return result;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = writeEnd;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process = {};
  const BOOL created = CreateProcessW(nullptr, wide.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                      nullptr, &startup, &process);
  CloseHandle(writeEnd);
  if (!created) {
    CloseHandle(readEnd);
    return result;
  }
  result.started = true;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0)
    result.output.append(buffer, got);
  CloseHandle(readEnd);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exitCode = 0;
  if (GetExitCodeProcess(process.hProcess, &exitCode)) result.exitCode = static_cast<int>(exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return result;
}

}  // namespace platform
