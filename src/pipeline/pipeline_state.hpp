// The run state shared by the worker and the GUI, and the worker's blocking question to the user.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
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

// Ownership goes back and forth through awaitingAnswer: the worker writes the request before
// setting it; while it is set the GUI may tick, and its answer clears it. The answer (and a cancel
// by the worker itself) is made under answerMutex, so the two sides never both answer one request.
struct SelectionRequest {
  std::mutex answerMutex;
  std::string title;
  std::vector<std::string> candidates;
  std::vector<bool> ticked;
  bool confirmed = false;
  std::atomic<bool> popupOpen{false};
  std::atomic<bool> awaitingAnswer{false};
  // Signalled, under answerMutex, when a request is posted or answered.
  std::condition_variable changed;
};

SelectionRequest& GetSelectionRequest();

// Worker side: posts the request and waits until it is answered, cancelled, the run is stopped or
// the GUI has gone (CancelPendingSelection). Returns the ticked indices in increasing order; empty on cancel.
std::vector<int> RequestUserSelection(const std::string& title, const std::vector<std::string>& candidates);
// GUI side: answers the pending request (the ticks are those in `ticked`); no effect when none is pending.
void ConfirmSelection();
void CancelSelection();
// GUI shutdown: ends a pending request as a cancel, and from then on answers every request the
// same way at once, since nobody is left to answer it (a run may still be finishing).
void CancelPendingSelection();
// Undoes CancelPendingSelection: a GUI answers requests again.
void ResumeSelections();

// Front-end side: waits at most `timeout` for a request to answer, returning early once `done()`
// holds after a WakeSelectionWaiters. For a front end that also redraws while it waits.
void WaitForSelectionRequest(std::chrono::milliseconds timeout, const std::function<bool()>& done);
void WakeSelectionWaiters();
