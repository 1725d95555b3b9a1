#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

#include "readers/item_list_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::set<std::string> keys;
  for (const ItemEntry& entry : ParseItemListText(text)) {
    if (entry.vnum <= 0 || !IsItemCategory(entry.type) || entry.rawLine.empty()) std::abort();
    if (!keys.insert(entry.type + "|" + entry.iconPath + "|" + entry.modelPath).second) std::abort();
  }
  if (NormalizeItemType(std::string(text)).empty()) std::abort();
  return 0;
}
