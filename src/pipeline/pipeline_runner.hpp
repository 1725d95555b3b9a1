// The worker's entry: one run of the selected task.
#pragma once

#include <cstddef>

constexpr std::size_t kPathTextSize = 260;

// The two path fields of the window, edited on the GUI thread and read once at the start of a run.
char* ClientPathText();
char* OutputPathText();
// Copies at most 259 bytes and terminates.
void SetPathText(char* buffer, const char* text);

using TaskDriver = void (*)();
// The driver of each TaskKind, registered explicitly at start-up (a self-registering object in the
// static library would be dropped by the linker). A run of a task with no driver ends in
// "ERROR: Task not available."; a selectedTask outside the four kinds runs nothing.
void RegisterTaskDriver(int taskKind, TaskDriver driver);
TaskDriver GetTaskDriver(int taskKind);

void RunPipeline();
