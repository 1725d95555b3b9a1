#include <cstdlib>
#include <ctime>
#include <vector>

#include "platform/path_rules.hpp"
#include "platform/platform.hpp"
#include "platform/win32/win32_support.hpp"

#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

namespace platform {

std::string UserDataFolder() {
  std::string base;
  // The variable comes first so that a test or a portable set-up can point it elsewhere.
  if (auto local = GetEnvironmentVariable("LOCALAPPDATA"); local && !local->empty()) {
    base = *local;
  } else {
    wchar_t buffer[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, buffer))) return std::string();
    base = win32::Narrow(buffer);
  }
  if (base.empty()) return std::string();
  const std::string folder = WithoutTrailingSeparators(WithBackslashes(base)) + "\\Vintrel";
  if (CreateFolderWithParents(folder) == CreateFolderResult::Failed) return std::string();
  return folder + "\\";
}

std::string ExecutablePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::string();
    if (length < buffer.size()) return win32::Narrow(std::wstring(buffer.data(), length));
    if (buffer.size() >= 32768) return std::string();
    buffer.resize(buffer.size() * 2);
  }
}

std::string ExecutableFolder() {
  const std::string path = ExecutablePath();
  const std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string TempFolder() {
  wchar_t buffer[MAX_PATH + 2] = {};
  const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
  if (length == 0 || length > MAX_PATH + 1) return std::string();
  return WithTrailingBackslash(win32::Narrow(std::wstring(buffer, length)));
}

std::uint64_t CurrentThreadId() { return GetCurrentThreadId(); }

std::uint64_t CurrentProcessId() { return GetCurrentProcessId(); }

long InitializeCom() { return CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE); }

void UninitializeCom() { CoUninitialize(); }

std::optional<std::string> GetEnvironmentVariable(const std::string& name) {
  const std::wstring wideName = win32::Widen(name);
  ::SetLastError(ERROR_SUCCESS);
  const DWORD needed = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
  if (needed == 0) {
    if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
    return std::string();
  }
  std::vector<wchar_t> buffer(needed + 1);
  const DWORD length =
      GetEnvironmentVariableW(wideName.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
  if (length >= buffer.size()) return std::nullopt;
  return win32::Narrow(std::wstring(buffer.data(), length));
}

bool SetEnvironmentVariable(const std::string& name, const std::string& value) {
  const std::wstring wideName = win32::Widen(name);
  const std::wstring wideValue = win32::Widen(value);
  // The C runtime keeps its own copy for getenv; keep both in step. An empty value would remove
  // the runtime's entry, so the system's one is set afterwards.
  _wputenv_s(wideName.c_str(), wideValue.c_str());
  return SetEnvironmentVariableW(wideName.c_str(), wideValue.c_str()) != 0;
}

bool UnsetEnvironmentVariable(const std::string& name) {
  const std::wstring wideName = win32::Widen(name);
  _wputenv_s(wideName.c_str(), L"");
  return SetEnvironmentVariableW(wideName.c_str(), nullptr) != 0 || GetLastError() == ERROR_ENVVAR_NOT_FOUND;
}

std::string FormatLocalTime(std::time_t t, const char* format) {
  struct tm local {};
  if (format == nullptr || format[0] == '\0' || localtime_s(&local, &t) != 0) return std::string();
  // strftime gives 0 both for "too small" and for an empty result; grow a few times, then give up.
  for (std::size_t size = 128; size <= 64 * 1024; size *= 4) {
    std::vector<char> buffer(size);
    const std::size_t length = std::strftime(buffer.data(), buffer.size(), format, &local);
    if (length > 0) return std::string(buffer.data(), length);
  }
  return std::string();
}

bool StandardOutputIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

void EnableConsoleColours() {
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (output == INVALID_HANDLE_VALUE || !GetConsoleMode(output, &mode)) return;
  SetConsoleMode(output, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
  // Every narrow string here is UTF-8, the Italian messages included.
  SetConsoleOutputCP(CP_UTF8);
}

}  // namespace platform
