#include "platform/platform.hpp"

namespace platform {

bool ReadWholeFile(const std::string& path, std::string& contents) {
  contents.clear();
  File file = File::OpenForRead(path);
  if (!file.IsOpen()) return false;
  const std::int64_t size = file.Size();
  if (size > 0) contents.reserve(static_cast<std::size_t>(size));
  char buffer[64 * 1024];
  for (;;) {
    const std::int64_t got = file.Read(buffer, sizeof buffer);
    if (got == 0) return true;
    if (got < 0) {
      contents.clear();
      return false;
    }
    contents.append(buffer, static_cast<std::size_t>(got));
  }
}

}  // namespace platform
