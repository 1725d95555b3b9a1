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
  }
  const PipelineState& state = GetPipelineState();
  // Polled rather than waited on: a STOP or a closing window must end the wait, or the process
  // could never exit.
  while (request.awaitingAnswer.load()) {
    if (state.stopRequested.load() || selectionsCancelled.load()) {
      std::lock_guard<std::mutex> lock(request.answerMutex);
      if (request.awaitingAnswer.load()) AnswerAsCancel(request);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
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
