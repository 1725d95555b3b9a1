// Fixture files for the reader, filter and merged list tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/platform.hpp"
#include "platform/temp_folder.hpp"

namespace readertest {

// Writes text byte for byte, creating the missing folders on the way; returns the path.
inline std::string Write(const std::string& path, const std::string& text) {
  platform::CreateFolderWithParents(path.substr(0, path.rfind('\\')));
  EXPECT_TRUE(testing_support::WriteTextFile(path, text)) << path;
  return path;
}

inline std::string WithLineEnd(const std::string& text, const std::string& end) {
  std::string out;
  for (const char c : text) out += c == '\n' ? end : std::string(1, c);
  return out;
}

}  // namespace readertest
