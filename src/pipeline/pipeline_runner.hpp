// The worker's entry: one run of the selected task.
#pragma once

#include <string>

// The two path fields of the window, edited on the GUI thread and read once at the start of a run;
// each read and write is whole, under a lock.
std::string ClientPathText();
std::string OutputPathText();
void SetClientPathText(const std::string& text);
void SetOutputPathText(const std::string& text);

// Runs the task of `selectedTask` (see task_table.hpp); a selectedTask outside the four kinds runs
// nothing.
void RunPipeline();
