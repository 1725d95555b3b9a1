#include <cerrno>
#include <cstring>
#include <string>

#include "platform/platform.hpp"

namespace platform {
namespace {

// strerror_r comes in two shapes (GNU returns the text, XSI fills the buffer); both are thread-safe.
[[maybe_unused]] std::string MessageFrom(const char* text, const char*) { return text; }
[[maybe_unused]] std::string MessageFrom(int result, const char* buffer) {
  return result == 0 ? std::string(buffer) : std::string();
}

}  // namespace

std::uint32_t LastError() { return static_cast<std::uint32_t>(errno); }

void SetLastError(std::uint32_t code) { errno = static_cast<int>(code); }

// "No such device": what the refused pipes and devices are to us.
std::uint32_t NotRegularFileError() { return ENODEV; }

std::string ErrorMessage(std::uint32_t code) {
  char buffer[256] = {};
  std::string message = MessageFrom(strerror_r(static_cast<int>(code), buffer, sizeof buffer), buffer);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
  if (message.empty()) message = "Unknown error " + std::to_string(code);
  return message;
}

}  // namespace platform
