// Helpers shared by the POSIX implementation files; nothing outside src/platform/posix includes this.
#pragma once

#include <optional>
#include <string>

#include "platform/platform.hpp"

namespace platform {
namespace posix {

// The absolute native path for an internal one. The exact spelling is used when it exists;
// otherwise each component missing as spelled takes the name in its folder that matches it
// ignoring ASCII case (the first in byte order when several do), and components below the first
// one with no match keep their spelling, so a path about to be created lands in the folders that
// exist. Another drive gives nullopt with errno ENOENT.
std::optional<std::string> ResolveNative(const std::string& internalPath);

// Drops the cached listing of the folder that holds nativePath (after creating or removing it).
void ForgetParentListing(const std::string& nativePath);
// Drops the cached listings of nativeFolder and of every folder below it (after removing or moving it).
void ForgetListingsUnder(const std::string& nativeFolder);

// mkdir -p on a native path, exact spelling.
CreateFolderResult CreateNativeFolders(const std::string& nativePath);

// The executable a bare name starts through $PATH; empty when none is found.
std::string FindInSearchPath(const std::string& name);

// Runs a program and waits for it (wait == true) or leaves it running detached.
// False when it could not be started; errno says why.
bool RunProgram(const std::string& nativeExecutable, const std::vector<std::string>& arguments, bool wait);

}  // namespace posix
}  // namespace platform
