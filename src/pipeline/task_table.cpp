#include "pipeline/task_table.hpp"

#include <atomic>

#include "pipeline/item_task.hpp"
#include "pipeline/map_objects_task.hpp"
#include "pipeline/msm_task.hpp"
#include "pipeline/npc_task.hpp"
#include "pipeline/pipeline_state.hpp"

namespace {

const std::array<TaskInfo, 4> kTasks = {{
    {TaskMsm, "hair-body", "Hair + Body", "Task MSM...", "Exported_Models_MSM"},
    {TaskItems, "weapon-wings", "Weapon + Wings", "Task ITEMS...", "Exported_Models_ITEM"},
    {TaskNpc, "npc-mob", "Npc + Mob", "Task NPC...", "Exported_Models_NPC"},
    {TaskMapObjects, "map-objects", "Map Objects", "Task MAP OBJECTS...", "map_objects"},
}};

// Read by the worker while a test may replace one; named here, so no front end has to register
// anything (a self-registering object in a static library would be dropped by the linker).
std::atomic<TaskDriver> taskDrivers[kTasks.size()] = {
    static_cast<TaskDriver>(&RunMsmTask), static_cast<TaskDriver>(&RunItemTask),
    static_cast<TaskDriver>(&RunNpcTask), static_cast<TaskDriver>(&RunMapObjectsTask)};

}  // namespace

const std::array<TaskInfo, 4>& TaskTable() { return kTasks; }

const TaskInfo* FindTask(int taskKind) {
  for (const TaskInfo& task : kTasks) {
    if (task.kind == taskKind) return &task;
  }
  return nullptr;
}

const TaskInfo* FindTaskByCliName(const std::string& cliName) {
  for (const TaskInfo& task : kTasks) {
    if (cliName == task.cliName) return &task;
  }
  return nullptr;
}

TaskDriver GetTaskDriver(int taskKind) {
  return FindTask(taskKind) == nullptr ? nullptr : taskDrivers[taskKind].load();
}

void RegisterTaskDriver(int taskKind, TaskDriver driver) {
  if (FindTask(taskKind) != nullptr) taskDrivers[taskKind].store(driver);
}
