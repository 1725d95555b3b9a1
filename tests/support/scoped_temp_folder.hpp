// A fresh folder below the temporary folder for one test, removed with everything in it afterwards.
#pragma once

#include <string>
#include <string_view>

class ScopedTempFolder {
 public:
  ScopedTempFolder();
  ~ScopedTempFolder();
  ScopedTempFolder(const ScopedTempFolder&) = delete;
  ScopedTempFolder& operator=(const ScopedTempFolder&) = delete;

  // Internal path, no trailing backslash.
  const std::string& path() const { return path_; }
  // path() + "\" + relative (relative uses backslashes).
  std::string Join(const std::string& relative) const;
  // Writes `contents` byte for byte to Join(relative), creating the folders on the way; returns the path.
  std::string WriteFile(const std::string& relative, std::string_view contents) const;
  std::string MakeFolder(const std::string& relative) const;

 private:
  std::string path_;
};
