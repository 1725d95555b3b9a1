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
// Tasks register their drivers; a kind without a driver runs nothing.
void RegisterTaskDriver(int taskKind, TaskDriver driver);
TaskDriver GetTaskDriver(int taskKind);

void RunPipeline();
