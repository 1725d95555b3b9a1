// Helpers shared by the POSIX implementation files; nothing outside src/platform/posix includes this.
#pragma once

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.hpp"

namespace platform {
namespace posix {

// The absolute native path for an internal one. The exact spelling is used when it exists;
// otherwise each component missing as spelled takes the name in its folder that matches it
// ignoring ASCII case (the first in byte order when several do), and components below the first
// one with no match keep their spelling, so a path about to be created lands in the folders that
// exist. A component still missing whose bytes are not all UTF-8 is then looked for in its
// NameAsListed form, exactly and then ignoring case. Another drive gives nullopt with errno ENOENT.
std::optional<std::string> ResolveNative(const std::string& internalPath);

// The absolute native path exactly as spelled, without a look at the disk; nullopt (errno ENOENT)
// for another drive.
std::optional<std::string> SpelledNative(const std::string& internalPath);

// Runs `attempt` (a native path -> true on success, errno set on failure) on the path as spelled,
// and once more on the spelling the disk holds when the name was missing: a path that exists as
// spelled, nearly every one, then costs no look besides the attempt itself. Only for attempts that
// create nothing: a new name must land on the spelling that exists.
template <typename Attempt>
bool OnAnySpelling(const std::string& internalPath, Attempt attempt) {
  const std::optional<std::string> spelled = SpelledNative(internalPath);
  if (!spelled) return false;
  if (attempt(*spelled)) return true;
  const int error = errno;
  if (error != ENOENT && error != ENOTDIR) return false;
  const std::optional<std::string> native = ResolveNative(internalPath);
  if (!native || *native == *spelled) {
    errno = error;
    return false;
  }
  return attempt(*native);
}

// Keeps the cached listing of the folder holding nativePath in step with a change the layer makes
// to that name: made just before the change, told after it whether the name now exists or is gone.
// Reading the listing again after every change instead would make filling a large folder cost
// the square of its size. A listing found out of date when the change began is dropped.
class ListingChange {
 public:
  explicit ListingChange(const std::string& nativePath);
  void Created() const { Apply(true); }
  void Removed() const { Apply(false); }

 private:
  void Apply(bool exists) const;

  std::string folder_;
  std::string name_;
  std::uint64_t generation_ = 0;  // of the cached listing when the change began; 0 when none was
  bool folderKnown_ = false;
  struct stat folderBefore_ {};
};

// Drops the cached listings of nativeFolder and of every folder below it (after removing or moving it).
void ForgetListingsUnder(const std::string& nativeFolder);

// open() of a regular file only: a pipe, a device or a socket fails at once (never blocks) with
// NotRegularFileError(), a folder with EISDIR. The descriptor is blocking and close-on-exec; the
// file's identity goes to `identity` when given. -1 with errno set on failure.
int OpenRegularFile(const std::string& nativePath, int flags, unsigned mode,
                    FileIdentity* identity = nullptr);

// mkdir -p on a native path, exact spelling.
CreateFolderResult CreateNativeFolders(const std::string& nativePath);

// The executable a bare name starts through $PATH; empty when none is found.
std::string FindInSearchPath(const std::string& name);

// Runs a program and waits for it (wait == true) or leaves it running detached, in
// `nativeWorkingFolder` when one is given. False when it could not be started; errno says why.
bool RunProgram(const std::string& nativeExecutable, const std::vector<std::string>& arguments, bool wait,
                const std::string& nativeWorkingFolder = std::string());

}  // namespace posix
}  // namespace platform
