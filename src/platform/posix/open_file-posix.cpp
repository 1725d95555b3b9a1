#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <utility>

#include "platform/platform.hpp"
#include "platform/posix/posix_support.hpp"

namespace platform {
namespace posix {

int OpenRegularFile(const std::string& nativePath, int flags, unsigned mode, FileIdentity* identity) {
  // Non-blocking until the type is known: a pipe with no other end then fails at once.
  const int fd =
      open(nativePath.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, static_cast<mode_t>(mode));
  if (fd < 0) {
    if (errno == ENXIO) errno = static_cast<int>(NotRegularFileError());
    return -1;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    // A folder opens fine for reading here but never on Windows; refuse it the same way.
    const int error = S_ISDIR(st.st_mode) ? EISDIR : static_cast<int>(NotRegularFileError());
    close(fd);
    errno = error;
    return -1;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  if (identity != nullptr) {
    *identity = FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
  }
  return fd;
}

}  // namespace posix

namespace {

// The descriptor, or -1 with errno set.
int OpenNative(const std::string& path, int flags) {
  if ((flags & O_CREAT) == 0) {
    int fd = -1;
    posix::OnAnySpelling(path, [&fd, flags](const std::string& native) {
      fd = posix::OpenRegularFile(native, flags, 0);
      return fd >= 0;
    });
    return fd;
  }
  const auto native = posix::ResolveNative(path);
  if (!native) return -1;
  const posix::ListingChange change(*native);
  const int fd = posix::OpenRegularFile(*native, flags, 0666);
  if (fd >= 0) change.Created();
  return fd;
}

}  // namespace

File File::OpenForRead(const std::string& path) {
  File file;
  file.handle_ = OpenNative(path, O_RDONLY);
  return file;
}

File File::CreateForWrite(const std::string& path) {
  File file;
  file.handle_ = OpenNative(path, O_WRONLY | O_CREAT | O_TRUNC);
  return file;
}

File File::OpenForAppend(const std::string& path) {
  File file;
  file.handle_ = OpenNative(path, O_WRONLY | O_CREAT | O_APPEND);
  return file;
}

bool File::IsOpen() const { return handle_ >= 0; }

std::int64_t File::Read(void* buffer, std::size_t size) {
  if (handle_ < 0) {
    errno = EBADF;
    return -1;
  }
  for (;;) {
    const ssize_t got = read(static_cast<int>(handle_), buffer, size);
    if (got >= 0) return got;
    if (errno != EINTR) return -1;
  }
}

bool File::Write(const void* data, std::size_t size) {
  if (handle_ < 0) {
    errno = EBADF;
    return false;
  }
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t put = write(static_cast<int>(handle_), bytes, size);
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes += put;
    size -= static_cast<std::size_t>(put);
  }
  return true;
}

bool File::Flush() {
  if (handle_ < 0) {
    errno = EBADF;
    return false;
  }
  return fsync(static_cast<int>(handle_)) == 0;
}

void File::Close() {
  if (handle_ >= 0) close(static_cast<int>(std::exchange(handle_, -1)));
}

std::int64_t File::Size() const {
  struct stat st {};
  if (handle_ < 0 || fstat(static_cast<int>(handle_), &st) != 0) return -1;
  return st.st_size;
}

}  // namespace platform
