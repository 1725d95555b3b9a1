#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/path_rules.hpp"
#include "platform/platform.hpp"
#include "platform/posix/posix_support.hpp"

namespace platform {
namespace posix {

CreateFolderResult CreateNativeFolders(const std::string& nativePath) {
  if (nativePath.empty()) {
    errno = ENOENT;
    return CreateFolderResult::Failed;
  }
  struct stat st {};
  if (stat(nativePath.c_str(), &st) == 0) {
    errno = EEXIST;
    return S_ISDIR(st.st_mode) ? CreateFolderResult::AlreadyExists : CreateFolderResult::Failed;
  }
  // Up from the folder to the nearest one that exists (nearly always its parent), then down
  // making each: a look per folder made rather than one per component of the whole path.
  std::vector<std::size_t> missingEnds{nativePath.size()};
  for (;;) {
    std::size_t slash = nativePath.rfind('/', missingEnds.back() - 1);
    while (slash != std::string::npos && slash > 0 && nativePath[slash - 1] == '/') --slash;
    if (slash == std::string::npos || slash == 0) break;
    if (stat(nativePath.substr(0, slash).c_str(), &st) == 0) {
      if (!S_ISDIR(st.st_mode)) {
        errno = ENOTDIR;
        return CreateFolderResult::Failed;
      }
      break;
    }
    if (errno != ENOENT) return CreateFolderResult::Failed;
    missingEnds.push_back(slash);
  }
  bool createdLast = false;
  for (auto end = missingEnds.rbegin(); end != missingEnds.rend(); ++end) {
    const std::string prefix = nativePath.substr(0, *end);
    if (prefix.empty() || prefix.back() == '/') continue;
    const ListingChange change(prefix);
    if (mkdir(prefix.c_str(), 0777) == 0) {
      change.Created();
      createdLast = true;
      continue;
    }
    const int error = errno;
    createdLast = false;
    if (error == EEXIST && stat(prefix.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) continue;
    errno = error == EEXIST ? ENOTDIR : error;
    return CreateFolderResult::Failed;
  }
  if (createdLast) return CreateFolderResult::Created;
  // Another thread made the last folder between the first look and the mkdir.
  errno = EEXIST;
  return CreateFolderResult::AlreadyExists;
}

}  // namespace posix

namespace {

// Copies every byte of one open file into another; false with errno set on failure.
bool CopyContents(int from, int to) {
  std::vector<char> buffer(256 * 1024);
  for (;;) {
    const ssize_t got = read(from, buffer.data(), buffer.size());
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    ssize_t done = 0;
    while (done < got) {
      const ssize_t put = write(to, buffer.data() + done, static_cast<std::size_t>(got - done));
      if (put < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      done += put;
    }
  }
}

bool CopyNativeFile(const std::string& from, const std::string& to) {
  FileIdentity sourceIdentity;
  const int source = posix::OpenRegularFile(from, O_RDONLY, 0, &sourceIdentity);
  if (source < 0) return false;
  struct stat sourceInfo {};
  fstat(source, &sourceInfo);
  // Truncated only once it is known not to be the source: both names may lead to one file.
  FileIdentity targetIdentity;
  const posix::ListingChange targetChange(to);
  const int target =
      posix::OpenRegularFile(to, O_WRONLY | O_CREAT, sourceInfo.st_mode & 0777, &targetIdentity);
  if (target < 0 || targetIdentity == sourceIdentity) {
    const int error = target < 0 ? errno : EBUSY;
    if (target >= 0) close(target);
    close(source);
    errno = error;
    return false;
  }
  // Not when already empty (a new file): ext4 then writes the file out at close, a wait per copy.
  struct stat targetInfo {};
  if ((fstat(target, &targetInfo) != 0 || targetInfo.st_size != 0) && ftruncate(target, 0) != 0) {
    const int error = errno;
    close(target);
    close(source);
    errno = error;
    return false;
  }
  targetChange.Created();
  bool ok = CopyContents(source, target);
  int error = errno;
  if (ok) {
    // The copy keeps the source's modification time, as the Windows copy does.
    const struct timespec times[2] = {sourceInfo.st_atim, sourceInfo.st_mtim};
    futimens(target, times);
  }
  if (close(target) != 0 && ok) {
    ok = false;
    error = errno;
  }
  close(source);
  if (!ok) {
    // A half-written copy would pass for a good one later.
    if (unlink(to.c_str()) == 0) targetChange.Removed();
    errno = error;
  }
  return ok;
}

}  // namespace

namespace {

bool StatAnySpelling(const std::string& path, struct stat& st) {
  return posix::OnAnySpelling(path, [&st](const std::string& native) { return stat(native.c_str(), &st) == 0; });
}

}  // namespace

std::uint32_t GetFileAttributes(const std::string& path) {
  struct stat st {};
  if (!StatAnySpelling(path, st)) return kInvalidAttributes;
  if (S_ISDIR(st.st_mode)) return kAttributeDirectory;
  if (S_ISREG(st.st_mode)) return kAttributeNormal;
  errno = static_cast<int>(NotRegularFileError());
  return kInvalidAttributes;
}

bool ListDirectory(const std::string& folder, std::vector<DirEntry>& entries, const std::string& pattern) {
  entries.clear();
  DIR* dir = nullptr;
  posix::OnAnySpelling(folder, [&dir](const std::string& native) {
    dir = opendir(native.c_str());
    return dir != nullptr;
  });
  if (dir == nullptr) return false;
  const int dirFd = dirfd(dir);
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == ".." || !MatchesWildcard(name, pattern)) continue;
    DirEntry item;
    item.name = name;
    // The entry's own type saves a look at each file on the file systems that report it: a
    // listing of a client is then as cheap as the folder reads themselves.
    if (entry->d_type == DT_REG || entry->d_type == DT_DIR) {
      item.isDirectory = entry->d_type == DT_DIR;
      item.isRegularFile = !item.isDirectory;
      entries.push_back(std::move(item));
      continue;
    }
    struct stat st {};
    struct stat own {};
    item.isLink = entry->d_type == DT_LNK ||
                  (entry->d_type == DT_UNKNOWN &&
                   fstatat(dirFd, entry->d_name, &own, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(own.st_mode));
    // A dangling link still shows up, as a file, the way a find-first lists a broken reparse point.
    if (fstatat(dirFd, entry->d_name, &st, 0) == 0) {
      item.isDirectory = S_ISDIR(st.st_mode);
      item.isRegularFile = S_ISREG(st.st_mode);
    }
    entries.push_back(std::move(item));
  }
  closedir(dir);
  SortInNtfsOrder(entries);
  return true;
}

std::optional<FileIdentity> GetFileIdentity(const std::string& path) {
  struct stat st {};
  if (!StatAnySpelling(path, st)) return std::nullopt;
  return FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

std::optional<PathStatus> GetPathStatus(const std::string& path) {
  struct stat st {};
  const auto look = [&st](const std::string& native) { return lstat(native.c_str(), &st) == 0; };
  if (!posix::OnAnySpelling(path, look)) return std::nullopt;
  PathStatus status;
  status.identity =
      FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
  status.isLink = S_ISLNK(st.st_mode);
  status.isDirectory = S_ISDIR(st.st_mode);
  return status;
}

std::optional<std::uint64_t> GetRegularFileSize(const std::string& path) {
  struct stat st {};
  if (!StatAnySpelling(path, st) || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<std::uint64_t>(st.st_size);
}

std::optional<std::string> RealPath(const std::string& path) {
  // The kernel's name for an open descriptor is the resolved path: three calls, where realpath()
  // looks at every component of the path in turn (and the guards ask for thousands of these).
  int fd = -1;
  std::string opened;
  posix::OnAnySpelling(path, [&fd, &opened](const std::string& native) {
    fd = open(native.c_str(), O_PATH | O_CLOEXEC);
    opened = native;
    return fd >= 0;
  });
  if (fd < 0) return std::nullopt;
  std::vector<char> buffer(PATH_MAX + 1);
  const ssize_t length =
      readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), buffer.data(), buffer.size());
  close(fd);
  std::string resolved;
  if (length > 0 && static_cast<std::size_t>(length) < buffer.size() && buffer[0] == '/')
    resolved.assign(buffer.data(), static_cast<std::size_t>(length));
  const std::string deleted = " (deleted)";
  const bool gone = resolved.size() > deleted.size() &&
                    resolved.compare(resolved.size() - deleted.size(), deleted.size(), deleted) == 0;
  // Without /proc, or for a name removed meanwhile, the slow way tells.
  if (resolved.empty() || gone) {
    char* slow = realpath(opened.c_str(), nullptr);
    if (slow == nullptr) return std::nullopt;
    resolved = slow;
    free(slow);
  }
  return ToInternalPath(resolved);
}

CreateFolderResult CreateFolderWithParents(const std::string& path) {
  const auto native = posix::ResolveNative(path);
  if (!native) return CreateFolderResult::Failed;
  return posix::CreateNativeFolders(*native);
}

bool CreateSingleFolder(const std::string& path) {
  const auto native = posix::ResolveNative(path);
  if (!native) return false;
  const posix::ListingChange change(*native);
  if (mkdir(native->c_str(), 0777) != 0) return false;
  change.Created();
  return true;
}

bool CopyFileOverwrite(const std::string& from, const std::string& to) {
  const auto source = posix::ResolveNative(from);
  if (!source) return false;
  const auto target = posix::ResolveNative(to);
  if (!target) return false;
  return CopyNativeFile(*source, *target);
}

bool DeleteFile(const std::string& path) {
  const auto native = posix::ResolveNative(path);
  if (!native) return false;
  const posix::ListingChange change(*native);
  if (unlink(native->c_str()) != 0) return false;
  change.Removed();
  return true;
}

bool RemoveEmptyFolder(const std::string& path) {
  const auto native = posix::ResolveNative(path);
  if (!native) return false;
  const posix::ListingChange change(*native);
  if (rmdir(native->c_str()) != 0) return false;
  change.Removed();
  posix::ForgetListingsUnder(*native);
  return true;
}

bool MoveFileReplace(const std::string& from, const std::string& to) {
  const auto source = posix::ResolveNative(from);
  if (!source) return false;
  const auto target = posix::ResolveNative(to);
  if (!target) return false;
  const posix::ListingChange leaving(*source);
  const posix::ListingChange arriving(*target);
  if (rename(source->c_str(), target->c_str()) == 0) {
    leaving.Removed();
    posix::ForgetListingsUnder(*source);
    arriving.Created();
    return true;
  }
  if (errno != EXDEV) return false;
  // Another file system: copy and delete, as a move between volumes does.
  struct stat st {};
  if (stat(source->c_str(), &st) != 0) return false;
  if (S_ISDIR(st.st_mode)) {
    errno = EXDEV;
    return false;
  }
  if (!CopyNativeFile(*source, *target)) return false;
  if (unlink(source->c_str()) != 0) return false;
  leaving.Removed();
  return true;
}

}  // namespace platform
