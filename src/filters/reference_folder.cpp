#include "filters/reference_folder.hpp"

#include "platform/platform.hpp"

const char* const kFilterSeparator = "------------------------------------------------";

std::string DefaultReferenceFolder() {
  std::string folder = platform::ExecutableFolder();
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  return folder + "standard_filters";
}

bool ReferenceFolderExists(const std::string& folder) {
  const std::uint32_t attributes = platform::GetFileAttributes(folder);
  return attributes != platform::kInvalidAttributes && (attributes & platform::kAttributeDirectory) != 0;
}
