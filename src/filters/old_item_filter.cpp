#include "filters/old_item_filter.hpp"

#include <vector>

#include "log/console.hpp"
#include "platform/platform.hpp"
#include "readers/item_list_reader.hpp"
#include "support/client_paths.hpp"

OldItemFilter& OldItemFilter::Instance() {
  static OldItemFilter instance;
  return instance;
}

void OldItemFilter::LoadOldItems(const std::string& referenceFolder) {
  oldItemVnums.clear();

  std::vector<platform::DirEntry> entries;
  if (!BeginReferenceLoad(referenceFolder, "ITEM", entries)) return;

  int filesLoaded = 0;
  for (const platform::DirEntry& entry : entries) {
    if (entry.isDirectory || ToLowerCopy(entry.name) != "item_list_old.txt") continue;
    for (const ItemEntry& item : ParseItemList(referenceFolder + "\\" + entry.name)) {
      oldItemVnums.insert(item.vnum);
    }
    ++filesLoaded;
  }

  PrintOk("File OLD caricati: " + std::to_string(filesLoaded));
  PrintOk("Item OLD VNUM unici: " + std::to_string(oldItemVnums.size()));
  PrintOk(kFilterSeparator);
}
