// The old race scripts of a standard client and the decision which client groups they already cover.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <tuple>

#include "filters/reference_folder.hpp"
#include "readers/msm_parser.hpp"

// (group index, group type, lower-cased model file name)
using StandardGroupKey = std::tuple<std::int32_t, std::string, std::string>;

class FilterManager {
 public:
  // The process-wide filter of the MSM task. A load runs on the worker before the task's threads read it.
  static FilterManager& Instance();

  // Replaces both sets with what the "*old.msm" files of `referenceFolder` hold; a missing folder
  // leaves them empty, so nothing is skipped. Reports counts on the console.
  void LoadOldMsm(const std::string& referenceFolder = ActiveReferenceFolder());

  // True when the group's model file name is an old one, or its slot (index, type, model file name)
  // is a standard one. Logs the reason to debug.log.
  bool ShouldSkipGroup(const MsmGroupRecord& record) const;

  // Lower-cased file names of every old model, base models included.
  std::set<std::string> oldModelNames;
  std::set<StandardGroupKey> standardGroups;
};
