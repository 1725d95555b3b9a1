// "Weapon + Wings": the weapons, armour, auras and wings of the client's item lists, exported below
// <output>\Exported_Models_ITEM.
#pragma once

#include <string>

// The worker's entry for TaskItems, with the old items read from the run's reference folder
// (ActiveReferenceFolder).
void RunItemTask();
// The same with the old items read from `referenceFolder`.
void RunItemTask(const std::string& referenceFolder);
