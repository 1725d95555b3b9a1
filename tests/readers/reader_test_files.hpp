// Writing fixture files for the reader tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/platform.hpp"

namespace readertest {

// Writes text byte for byte, creating the missing folders on the way.
inline void WriteTextFile(const std::string& path, const std::string& text) {
  const std::size_t slash = path.rfind('\\');
  if (slash != std::string::npos) platform::CreateFolderWithParents(path.substr(0, slash));
  platform::File file = platform::File::CreateForWrite(path);
  ASSERT_TRUE(file.IsOpen()) << path;
  ASSERT_TRUE(file.Write(text.data(), text.size())) << path;
}

}  // namespace readertest
