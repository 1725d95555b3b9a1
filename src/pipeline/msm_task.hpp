// "Hair + Body": the hair and body-shape groups of the client's race scripts, exported below
// <output>\Exported_Models_MSM.
#pragma once

#include <string>
#include <vector>

#include "readers/msm_parser.hpp"

// The worker's entry for TaskMsm, with the old race scripts read from the "standard_filters"
// folder beside the executable.
void RunMsmTask();
// The same with the old race scripts read from `referenceFolder`.
void RunMsmTask(const std::string& referenceFolder);

// Two groups with the same key are the same content, whichever script or folder they come from:
// type | lower-cased model file name | the script's textures, sorted, lower-cased, comma-joined.
std::string MsmDedupKey(const MsmGroupRecord& record);
// "[0003]HairData" for the third kept group.
std::string NumberedGroupName(std::size_t position, const std::string& groupType);
