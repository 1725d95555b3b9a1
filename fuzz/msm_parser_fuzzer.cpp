#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "readers/msm_parser.hpp"

namespace {

bool EndsWithDds(const std::string& value) {
  if (value.size() < 4) return false;
  std::string tail = value.substr(value.size() - 4);
  for (char& c : tail) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return tail == ".dds";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const MsmGroupRecord& record : MsmParser::Parse(text, "fuzz.msm")) {
    if (record.msmPath != "fuzz.msm") std::abort();
    if (record.groupType == "BaseModel") {
      if (record.groupIndex != -1 || record.modelPath.empty() || !record.ddsFiles.empty()) std::abort();
    } else {
      if (GroupTypeOf(record.groupName) != record.groupType || record.groupType == "Unknown") std::abort();
      if (GroupIndexOf(record.groupName) != record.groupIndex) std::abort();
    }
    // Every snippet byte comes from the input, plus one line feed per line at most.
    if (record.snippet.size() > 2 * size + 1) std::abort();
    if (!std::is_sorted(record.ddsFiles.begin(), record.ddsFiles.end())) std::abort();
    if (std::adjacent_find(record.ddsFiles.begin(), record.ddsFiles.end()) != record.ddsFiles.end())
      std::abort();
    if (!std::all_of(record.ddsFiles.begin(), record.ddsFiles.end(), EndsWithDds)) std::abort();
  }
  const std::string whole(text);
  GroupIndexOf(whole);
  GroupTypeOf(whole);
  ReadKeyValue(whole, "Model");
  ReadKeyValue(whole, "");
  return 0;
}
