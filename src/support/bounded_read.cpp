#include "support/bounded_read.hpp"

#include "platform/platform.hpp"

bool ReadBoundedFile(const std::string& path, std::uint64_t maxBytes, std::string& bytes,
                     std::string& reason) {
  platform::File file = platform::File::OpenForRead(path);
  if (!file.IsOpen()) {
    reason = "cannot open " + path;
    return false;
  }
  const std::int64_t size = file.Size();
  if (size < 0 || std::uint64_t(size) > maxBytes) {
    reason = "file too large or of unknown size: " + path;
    return false;
  }
  bytes.resize(std::size_t(size));
  std::size_t got = 0;
  while (got < bytes.size()) {
    const std::int64_t n = file.Read(&bytes[got], bytes.size() - got);
    if (n <= 0) break;
    got += std::size_t(n);
  }
  if (got != bytes.size()) {
    reason = "cannot read " + path;
    return false;
  }
  return true;
}
