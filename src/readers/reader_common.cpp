#include "readers/reader_common.hpp"

#include <cctype>
#include <limits>

#include "platform/platform.hpp"
#include "support/client_paths.hpp"
#include "support/folder_walk.hpp"

bool ReadLeadingInt32(std::string_view text, std::int32_t& value) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  const std::size_t firstDigit = i;
  // One more than the largest magnitude lets "-2147483648" through and stops any longer run early.
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  std::int64_t magnitude = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > kLimit) return false;
    ++i;
  }
  if (i == firstDigit) return false;
  const std::int64_t signedValue = negative ? -magnitude : magnitude;
  if (signedValue > std::numeric_limits<std::int32_t>::max()) return false;
  value = static_cast<std::int32_t>(signedValue);
  return true;
}

void CollectFilesNamed(const std::string& folder, const std::string& lowerName,
                       std::vector<std::string>& found) {
  FolderWalkVisitor visitor;
  visitor.onFile = [&](const std::string& path, std::string_view, const platform::DirEntry& entry) {
    if (ToLowerCopy(entry.name) == lowerName) found.push_back(path);
  };
  WalkFolder(folder, visitor);
}
