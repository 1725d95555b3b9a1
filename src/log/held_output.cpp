#include "log/held_output.hpp"

#include <utility>

namespace {

// A plain pointer: nothing for the thread's exit to destroy.
thread_local OutputTurn* currentTurn = nullptr;

}  // namespace

void HeldOutput::Emit(std::function<void()> emit) {
  std::lock_guard<std::mutex> lock(mutex_);
  held_.push_back(std::move(emit));
}

void HeldOutput::Release() {
  std::vector<std::function<void()>> held;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    held.swap(held_);
  }
  for (std::function<void()>& emit : held) emit();
}

OutputTurnScope::OutputTurnScope(OutputTurn* turn) : previous_(currentTurn) { currentTurn = turn; }

OutputTurnScope::~OutputTurnScope() { currentTurn = previous_; }

void EmitInTurn(std::function<void()> emit) {
  OutputTurn* turn = currentTurn;
  if (turn == nullptr) {
    emit();
    return;
  }
  turn->Emit([run = std::move(emit)] {
    const OutputTurnScope none(nullptr);
    run();
  });
}

bool OutputTurnActive() { return currentTurn != nullptr; }

OutputTurn* CurrentOutputTurn() { return currentTurn; }

void WaitForOutputTurn() {
  if (currentTurn != nullptr) currentTurn->WaitForTurn();
}
