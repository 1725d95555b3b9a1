// The run state shared by the worker and the GUI, and the worker's blocking question to the user.
#pragma once

#include <atomic>
#include <string>
#include <vector>

enum TaskKind : int { TaskMsm = 0, TaskItems = 1, TaskNpc = 2, TaskMapObjects = 3 };

struct PipelineState {
  std::atomic<bool> running{false};
  std::atomic<bool> stopRequested{false};
  std::atomic<float> progress{0.0f};
  std::atomic<int> selectedTask{TaskMsm};
  std::atomic<int> prbFound{0};
  std::atomic<int> prbProcessed{0};
};

PipelineState& GetPipelineState();

void SetProgressMonotonic(float value);

struct SelectionRequest {
  std::string title;
  std::vector<std::string> candidates;
  std::vector<bool> ticked;
  bool confirmed = false;
  std::atomic<bool> popupOpen{false};
  std::atomic<bool> awaitingAnswer{false};
};

SelectionRequest& GetSelectionRequest();

// Worker side: posts the request and waits until it is answered, cancelled, or the run is stopped.
// Returns the ticked indices in increasing order; empty on cancel.
std::vector<int> RequestUserSelection(const std::string& title, const std::vector<std::string>& candidates);
// GUI side: answers the pending request.
void ConfirmSelection();
void CancelSelection();
// Ends a pending request as a cancel (GUI shutdown).
void CancelPendingSelection();
