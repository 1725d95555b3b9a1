// The four tasks, once: the name the command line takes, the window's label, the line a run
// starts with, and the driver the worker runs.
#pragma once

#include <array>
#include <string>

using TaskDriver = void (*)();

struct TaskInfo {
  int kind;                // TaskKind
  const char* cliName;     // "hair-body"
  const char* label;       // "Hair + Body"
  const char* startLine;   // "Task MSM..."
  const char* taskFolder;  // below the output root: "Exported_Models_MSM"
};

// In TaskKind order.
const std::array<TaskInfo, 4>& TaskTable();
// Null when no task has that kind or name.
const TaskInfo* FindTask(int taskKind);
const TaskInfo* FindTaskByCliName(const std::string& cliName);

// The driver of a kind; null for a task not built yet (its run ends in "ERROR: Task not available.").
TaskDriver GetTaskDriver(int taskKind);
// Puts another driver in a kind's place (tests, benchmarks); null takes the task away.
void RegisterTaskDriver(int taskKind, TaskDriver driver);
