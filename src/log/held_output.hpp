// Output of work that runs ahead of its turn. A thread that has an OutputTurn set hands every log
// line, window-log line and console text to it; the turn gives it out at once when its work is the
// oldest still running, and otherwise keeps it until the work before has given out all of its own.
// The logs then read the same as when the work ran one piece after another.
#pragma once

#include <functional>
#include <mutex>
#include <vector>

class OutputTurn {
 public:
  virtual ~OutputTurn() = default;
  // Runs `emit` now or keeps it for later; kept output runs in the order it was handed over.
  virtual void Emit(std::function<void()> emit) = 0;
  // Returns once the work before has given out all of its output: from then on this work's output
  // goes straight out, and whatever it does next happens after all of the work before.
  virtual void WaitForTurn() = 0;
};

// Output kept whole until Release gives it out, in the order made; dropped if never released. For
// work started early on another thread whose output belongs at a later point of the run.
class HeldOutput : public OutputTurn {
 public:
  void Emit(std::function<void()> emit) override;
  // The held work has nothing before it to wait for.
  void WaitForTurn() override {}
  void Release();

 private:
  std::mutex mutex_;
  std::vector<std::function<void()>> held_;
};

// Sets the calling thread's turn (nullptr: none) for the life of the scope.
class OutputTurnScope {
 public:
  explicit OutputTurnScope(OutputTurn* turn);
  ~OutputTurnScope();
  OutputTurnScope(const OutputTurnScope&) = delete;
  OutputTurnScope& operator=(const OutputTurnScope&) = delete;

 private:
  OutputTurn* previous_;
};

// Runs `emit` at once on a thread without a turn; otherwise passes it to the thread's turn. The
// turn runs it with no turn set, so output made inside `emit` goes straight out.
void EmitInTurn(std::function<void()> emit);

// The calling thread's turn (nullptr: none), for the threads that work hands part of itself to.
OutputTurn* CurrentOutputTurn();

// Waits for the calling thread's turn; returns at once without one.
void WaitForOutputTurn();

// True when the calling thread has a turn: callers skip building a closure otherwise.
bool OutputTurnActive();
