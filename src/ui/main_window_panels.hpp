// The contents of the main window: the header with the logo, the paths and options panels (column
// 0) and the log (column 1). They read the run state every frame and never wait for the worker.
#pragma once

#include <string>

void DrawHeader();
// Draws the paths panel at its top.
void DrawOptionsPanel();
void DrawPathsPanel();
void DrawLogsPanel();

// The fields as the run's path texts and PathSettings hold them after core initialisation.
void LoadPathFields();

// Both paths non-empty and neither exactly "C:/" nor "C:\" (case-sensitive, whole text).
bool PathsUsable(const std::string& clientPath, const std::string& outputPath);

// A run was started and its worker has not returned yet.
bool WorkerBusy();
// Shutdown: waits for a running worker (a pending question is answered as a cancel by the caller).
void JoinWorker();
