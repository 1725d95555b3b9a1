// Symbolic links for the tests of walks and copies that must not be led astray by them.
#pragma once

#include <filesystem>
#include <string>
#include <system_error>

#include "platform/platform.hpp"

namespace testenv {

// `link` leads to `target` (internal paths). False where links cannot be made (Windows without the
// privilege, some Wine versions).
inline bool MakeLink(const std::string& target, const std::string& link, bool folder) {
  const auto to = platform::ToNativePath(target);
  const auto from = platform::ToNativePath(link);
  std::error_code error;
  if (!to || !from) return false;
  if (folder) std::filesystem::create_directory_symlink(*to, *from, error);
  if (!folder) std::filesystem::create_symlink(*to, *from, error);
  return !error;
}

}  // namespace testenv
