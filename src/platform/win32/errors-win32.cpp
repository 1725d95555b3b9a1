#include "platform/platform.hpp"
#include "platform/win32/win32_support.hpp"

namespace platform {

std::uint32_t LastError() { return GetLastError(); }

void SetLastError(std::uint32_t code) { ::SetLastError(code); }

std::uint32_t NotRegularFileError() { return ERROR_BAD_FILE_TYPE; }

std::string ErrorMessage(std::uint32_t code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string message;
  if (length > 0 && buffer != nullptr) message = win32::Narrow(std::wstring(buffer, length));
  if (buffer != nullptr) LocalFree(buffer);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
  if (message.empty()) message = "Unknown error " + std::to_string(code);
  return message;
}

}  // namespace platform
