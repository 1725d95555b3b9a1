// The parts of File that do not depend on what the handle is.
#include <utility>

#include "platform/platform.hpp"

namespace platform {

File::~File() { Close(); }

File::File(File&& other) noexcept : handle_(std::exchange(other.handle_, -1)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, -1);
  }
  return *this;
}

}  // namespace platform
