#include "pipeline/pipeline_state.hpp"

#include <chrono>
#include <cmath>
#include <thread>

#include "support/export_journal.hpp"
#include "support/stop_check.hpp"

namespace {

// Set once the GUI can no longer answer requests.
std::atomic<bool> selectionsCancelled{false};

// Called with answerMutex held and the request still pending.
void AnswerAsCancel(SelectionRequest& request) {
  request.confirmed = false;
  request.ticked.assign(request.ticked.size(), false);
  request.awaitingAnswer.store(false);
  request.popupOpen.store(false);
  request.changed.notify_all();
}

}  // namespace

PipelineState& GetPipelineState() {
  static PipelineState* state = [] {
    auto* created = new PipelineState;
    // Walks and readers below the pipeline learn of a STOP through this check.
    SetStopCheck(+[] { return GetPipelineState().stopRequested.load(); });
    return created;
  }();
  return *state;
}

void SetProgressMonotonic(float value) {
  if (std::isnan(value)) return;
  value = std::fmin(std::fmax(value, 0.0f), 1.0f);
  std::atomic<float>& progress = GetPipelineState().progress;
  if (value == 0.0f) {
    progress.store(0.0f);
    return;
  }
  // Several phase threads publish at once: compare-and-swap keeps a slower one from moving the bar back.
  float current = progress.load();
  while (value >= current || value == 1.0f) {
    if (progress.compare_exchange_weak(current, value)) return;
  }
}

SelectionRequest& GetSelectionRequest() {
  static SelectionRequest* request = new SelectionRequest;
  return *request;
}

std::vector<int> RequestUserSelection(const std::string& title, const std::vector<std::string>& candidates) {
  SelectionRequest& request = GetSelectionRequest();
  {
    std::lock_guard<std::mutex> lock(request.answerMutex);
    request.title = title;
    request.candidates = candidates;
    request.ticked.assign(candidates.size(), false);
    request.confirmed = false;
    request.popupOpen.store(true);
    request.awaitingAnswer.store(true);
    request.changed.notify_all();
  }
  const PipelineState& state = GetPipelineState();
  // An answer wakes the wait at once; a STOP or a closing window is looked for every 50 ms, or
  // the process could never exit.
  {
    std::unique_lock<std::mutex> lock(request.answerMutex);
    while (request.awaitingAnswer.load()) {
      if (state.stopRequested.load() || selectionsCancelled.load()) {
        AnswerAsCancel(request);
        break;
      }
      request.changed.wait_for(lock, std::chrono::milliseconds(50),
                               [&request] { return !request.awaitingAnswer.load(); });
    }
  }
  std::vector<int> chosen;
  {
    std::lock_guard<std::mutex> lock(request.answerMutex);
    if (request.confirmed) {
      for (std::size_t i = 0; i < request.ticked.size(); ++i) {
        if (request.ticked[i]) chosen.push_back(static_cast<int>(i));
      }
    }
    request.popupOpen.store(false);
  }
  std::string answer = title + " ";
  for (const int index : chosen) answer += "[" + candidates[static_cast<std::size_t>(index)] + "]";
  RecordSelection(chosen.empty() ? answer + "(cancelled)" : answer);
  return chosen;
}

void ConfirmSelection() {
  SelectionRequest& request = GetSelectionRequest();
  std::lock_guard<std::mutex> lock(request.answerMutex);
  if (!request.awaitingAnswer.load()) return;
  request.confirmed = true;
  request.awaitingAnswer.store(false);
  request.popupOpen.store(false);
  request.changed.notify_all();
}

void CancelSelection() {
  SelectionRequest& request = GetSelectionRequest();
  std::lock_guard<std::mutex> lock(request.answerMutex);
  if (request.awaitingAnswer.load()) AnswerAsCancel(request);
}

void CancelPendingSelection() {
  selectionsCancelled.store(true);
  CancelSelection();
}

void ResumeSelections() { selectionsCancelled.store(false); }

void WaitForSelectionRequest(std::chrono::milliseconds timeout, const std::function<bool()>& done) {
  SelectionRequest& request = GetSelectionRequest();
  std::unique_lock<std::mutex> lock(request.answerMutex);
  request.changed.wait_for(lock, timeout,
                           [&request, &done] { return request.awaitingAnswer.load() || done(); });
}

void WakeSelectionWaiters() {
  SelectionRequest& request = GetSelectionRequest();
  // Under the lock, so a waiter between its look at done() and its sleep cannot miss it.
  std::lock_guard<std::mutex> lock(request.answerMutex);
  request.changed.notify_all();
}
