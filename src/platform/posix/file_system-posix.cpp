#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
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
  bool createdLast = false;
  std::size_t slash = 0;
  do {
    slash = nativePath.find('/', slash + 1);
    const std::string prefix = nativePath.substr(0, slash);
    if (prefix.back() == '/') continue;
    if (stat(prefix.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      createdLast = false;
      continue;
    }
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
  } while (slash != std::string::npos);
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
  if (ftruncate(target, 0) != 0) {
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

std::uint32_t GetFileAttributes(const std::string& path) {
  const auto native = posix::ResolveNative(path);
  if (!native) return kInvalidAttributes;
  struct stat st {};
  if (stat(native->c_str(), &st) != 0) return kInvalidAttributes;
  if (S_ISDIR(st.st_mode)) return kAttributeDirectory;
  if (S_ISREG(st.st_mode)) return kAttributeNormal;
  errno = static_cast<int>(NotRegularFileError());
  return kInvalidAttributes;
}

bool ListDirectory(const std::string& folder, std::vector<DirEntry>& entries, const std::string& pattern) {
  entries.clear();
  const auto native = posix::ResolveNative(folder);
  if (!native) return false;
  DIR* dir = opendir(native->c_str());
  if (dir == nullptr) return false;
  const int dirFd = dirfd(dir);
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == ".." || !MatchesWildcard(name, pattern)) continue;
    DirEntry item;
    item.name = name;
    struct stat st {};
    struct stat own {};
    // The entry's own type saves a second look on the file systems that report it.
    item.isLink = entry->d_type == DT_LNK ||
                  (entry->d_type == DT_UNKNOWN &&
                   fstatat(dirFd, entry->d_name, &own, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(own.st_mode));
    if (fstatat(dirFd, entry->d_name, &st, 0) == 0) {
      item.isDirectory = S_ISDIR(st.st_mode);
      item.isRegularFile = S_ISREG(st.st_mode);
      item.size = item.isDirectory ? 0 : static_cast<std::uint64_t>(st.st_size);
    } else if (fstatat(dirFd, entry->d_name, &own, AT_SYMLINK_NOFOLLOW) == 0) {
      // A dangling link still shows up, as a file, the way a find-first lists a broken reparse point.
      item.size = static_cast<std::uint64_t>(own.st_size);
    }
    entries.push_back(std::move(item));
  }
  closedir(dir);
  SortInNtfsOrder(entries);
  return true;
}

std::optional<FileIdentity> GetFileIdentity(const std::string& path) {
  const auto native = posix::ResolveNative(path);
  struct stat st {};
  if (!native || stat(native->c_str(), &st) != 0) return std::nullopt;
  return FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

std::optional<std::string> RealPath(const std::string& path) {
  const auto native = posix::ResolveNative(path);
  if (!native) return std::nullopt;
  char* resolved = realpath(native->c_str(), nullptr);
  if (resolved == nullptr) return std::nullopt;
  std::string result = ToInternalPath(resolved);
  free(resolved);
  return result;
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
