#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

#include "readers/effect_script_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const MseRecord record = ParseMseText(text, "fuzz.mse");
  if (!record.ok) std::abort();
  if (std::adjacent_find(record.meshFiles.begin(), record.meshFiles.end(),
                         [](const std::string& a, const std::string& b) { return !(a < b); }) !=
      record.meshFiles.end()) {
    std::abort();
  }
  const std::set<std::string> distinct(record.textureFiles.begin(), record.textureFiles.end());
  if (record.textureFiles.size() > 1000 || distinct.size() != record.textureFiles.size()) std::abort();
  for (const std::string& name : ReadMeshFileNames(text)) {
    if (name.empty()) std::abort();
  }
  return 0;
}
