// The NPC numbers of a standard client, which the NPC task leaves out.
#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "filters/reference_folder.hpp"
#include "readers/npc_list_reader.hpp"

class OldNpcFilter {
 public:
  // The process-wide filter of the NPC task. A load runs on the worker before the task's threads read it.
  static OldNpcFilter& Instance();

  // Replaces the set with the numbers of "npclist_old.txt" in `referenceFolder`. A missing file leaves
  // it empty; a line without a usable number is skipped and counted in one console warning.
  void LoadOldNpcs(const std::string& referenceFolder = ActiveReferenceFolder());

  bool IsOld(std::int32_t vnum) const { return oldNpcVnums.count(vnum) != 0; }
  // By number; a variant line (number 0) by its two names, as every variant shares the number 0.
  bool IsOld(const NpcEntry& entry) const;

  std::set<std::int32_t> oldNpcVnums;
  std::set<std::string> oldVariants;  // VariantKey of each variant line
};
