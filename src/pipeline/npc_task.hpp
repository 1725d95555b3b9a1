// "Npc + Mob": the model folders of the NPCs and monsters that the client's npclist files name,
// exported below <output>\Exported_Models_NPC.
#pragma once

#include <string>

// The worker's entry for TaskNpc, with the old NPC numbers read from the run's reference folder
// (ActiveReferenceFolder).
void RunNpcTask();
// The same with the old NPC numbers read from `referenceFolder`.
void RunNpcTask(const std::string& referenceFolder);
