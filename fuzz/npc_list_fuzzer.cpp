#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "readers/npc_list_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const NpcEntry& entry : ParseNpcListText(text)) {
    if (entry.folderName.empty() || entry.rawLine.empty()) std::abort();
    if (entry.rawLine[0] == '#' || entry.rawLine[0] == '/') std::abort();
  }
  return 0;
}
