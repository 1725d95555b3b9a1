#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "granny2/model_file.hpp"

namespace granny2 {

ModelFile::~ModelFile() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
}

std::string ModelFile::Open(const char* nativePath) {
  // Non-blocking until the type is known: a pipe with no writer would hold the open for ever.
  const int fd = open(nativePath, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return errno == ENXIO ? "not a regular file" : "cannot open the file";
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return "not a regular file";
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  handle_ = fd;
  size_ = static_cast<std::int64_t>(st.st_size);
  return std::string();
}

std::int64_t ModelFile::Read(void* buffer, std::size_t size) {
  if (handle_ < 0) return -1;
  for (;;) {
    const ssize_t n = read(static_cast<int>(handle_), buffer, size);
    if (n >= 0 || errno != EINTR) return n;
  }
}

}  // namespace granny2
