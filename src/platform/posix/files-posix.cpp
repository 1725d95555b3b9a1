#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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
    if (mkdir(prefix.c_str(), 0777) == 0) {
      ForgetParentListing(prefix);
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
  const int source = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (source < 0) return false;
  struct stat sourceInfo {};
  if (fstat(source, &sourceInfo) != 0 || S_ISDIR(sourceInfo.st_mode)) {
    const int error = S_ISDIR(sourceInfo.st_mode) ? EISDIR : errno;
    close(source);
    errno = error;
    return false;
  }
  struct stat targetInfo {};
  if (stat(to.c_str(), &targetInfo) == 0) {
    // Truncating the destination would wipe the source when both name the same file.
    if (targetInfo.st_dev == sourceInfo.st_dev && targetInfo.st_ino == sourceInfo.st_ino) {
      close(source);
      errno = EBUSY;
      return false;
    }
  }
  const int target = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, sourceInfo.st_mode & 0777);
  if (target < 0) {
    const int error = errno;
    close(source);
    errno = error;
    return false;
  }
  posix::ForgetParentListing(to);
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
    unlink(to.c_str());
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
  return S_ISDIR(st.st_mode) ? kAttributeDirectory : kAttributeNormal;
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
    // A dangling link still shows up, as a file, the way a find-first lists a broken reparse point.
    if (fstatat(dirFd, entry->d_name, &st, 0) == 0 ||
        fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
      item.isDirectory = S_ISDIR(st.st_mode);
      item.size = item.isDirectory ? 0 : static_cast<std::uint64_t>(st.st_size);
    }
    entries.push_back(std::move(item));
  }
  closedir(dir);
  SortInNtfsOrder(entries);
  return true;
}

CreateFolderResult CreateFolderWithParents(const std::string& path) {
  const auto native = posix::ResolveNative(path);
  if (!native) return CreateFolderResult::Failed;
  return posix::CreateNativeFolders(*native);
}

bool CreateSingleFolder(const std::string& path) {
  const auto native = posix::ResolveNative(path);
  if (!native || mkdir(native->c_str(), 0777) != 0) return false;
  posix::ForgetParentListing(*native);
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
  if (!native || unlink(native->c_str()) != 0) return false;
  posix::ForgetParentListing(*native);
  return true;
}

bool RemoveEmptyFolder(const std::string& path) {
  const auto native = posix::ResolveNative(path);
  if (!native || rmdir(native->c_str()) != 0) return false;
  posix::ForgetParentListing(*native);
  posix::ForgetListingsUnder(*native);
  return true;
}

bool MoveFileReplace(const std::string& from, const std::string& to) {
  const auto source = posix::ResolveNative(from);
  if (!source) return false;
  const auto target = posix::ResolveNative(to);
  if (!target) return false;
  if (rename(source->c_str(), target->c_str()) == 0) {
    posix::ForgetParentListing(*source);
    posix::ForgetListingsUnder(*source);
    posix::ForgetParentListing(*target);
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
  posix::ForgetParentListing(*source);
  return true;
}

}  // namespace platform
