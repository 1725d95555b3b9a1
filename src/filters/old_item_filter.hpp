// The item numbers of a standard client, which the item task leaves out.
#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "filters/reference_folder.hpp"

class OldItemFilter {
 public:
  // The process-wide filter of the item task. A load runs on the worker before the task's threads read it.
  static OldItemFilter& Instance();

  // Replaces the set with the items of "item_list_old.txt" (any letter case) in `referenceFolder`;
  // a missing folder leaves it empty. Reports counts on the console.
  void LoadOldItems(const std::string& referenceFolder = ActiveReferenceFolder());

  bool IsOld(std::int32_t vnum) const { return oldItemVnums.count(vnum) != 0; }

  std::set<std::int32_t> oldItemVnums;
};
