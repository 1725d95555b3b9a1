#include "platform/path_rules.hpp"
#include "platform/platform.hpp"
#include "platform/win32/win32_support.hpp"

namespace platform {
namespace {

bool LooksLikeAddress(const std::string& text) {
  return text.find("://") != std::string::npos || text.rfind("mailto:", 0) == 0;
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

bool StartDetachedProcess(const std::string& executable, const std::vector<std::string>& arguments) {
  // Arguments go into the command line as they are: the caller quotes what the program expects
  // quoted (cmd.exe reads its own rules, not the C runtime's). Only the program name is quoted here.
  const std::string program = WithBackslashes(executable);
  std::string commandLine =
      program.find(' ') != std::string::npos && program.front() != '"' ? "\"" + program + "\"" : program;
  for (const std::string& argument : arguments) commandLine += " " + argument;
  std::wstring wide = win32::Widen(commandLine);

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  // A new process group keeps it alive through a Ctrl+C meant for this console.
  if (!CreateProcessW(nullptr, wide.data(), nullptr, nullptr, FALSE,
                      CREATE_NO_WINDOW | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup, &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

}  // namespace platform
