#include "support/work_ranges.hpp"

#include <algorithm>
#include <chrono>
#include <exception>
#include <map>
#include <string>

#include "log/console.hpp"
#include "log/held_output.hpp"
#include "support/client_paths.hpp"
#include "support/export_files.hpp"
#include "support/file_operations.hpp"
#include "support/stop_check.hpp"

std::vector<std::pair<std::size_t, std::size_t>> SplitIntoRanges(std::size_t count, std::size_t parts) {
  if (parts == 0) parts = 1;
  const std::size_t base = count / parts;
  const std::size_t larger = count % parts;
  std::vector<std::pair<std::size_t, std::size_t>> ranges;
  std::size_t from = 0;
  for (std::size_t i = 0; i < parts; ++i) {
    const std::size_t to = from + base + (i < larger ? 1 : 0);
    ranges.emplace_back(from, to);
    from = to;
  }
  return ranges;
}

std::size_t HardwareThreads(std::size_t whenUnknown) {
  const unsigned reported = std::thread::hardware_concurrency();
  return reported == 0 ? whenUnknown : reported;
}

namespace {

void RunEntry(std::size_t i, const std::function<void(std::size_t)>& body) {
  try {
    body(i);
  } catch (const std::exception& error) {
    ReportErr("Entry " + std::to_string(i + 1) + " failed: " + error.what());
  } catch (...) {
    ReportErr("Entry " + std::to_string(i + 1) + " failed: unknown exception");
  }
}

// How far the threads may run ahead of the oldest entry still running: bounds the output held.
constexpr std::size_t kLookAhead = 64;

// The entries of one RunInOrder: which is handed out next, which one's output goes out directly,
// and what the others have made meanwhile. Output runs under the lock, so it cannot overtake.
class EntrySequence {
 public:
  explicit EntrySequence(std::size_t count) : count_(count) {}

  // The next entry for a thread, or false when none is left or a stop was asked for.
  bool Take(std::size_t& entry) {
    std::unique_lock<std::mutex> lock(mutex_);
    moved_.wait(lock, [this] { return next_ < oldest_ + kLookAhead || next_ >= count_; });
    if (next_ >= count_ || StopRequested()) return false;
    entry = next_++;
    held_[entry];
    return true;
  }

  void Emit(std::size_t entry, std::function<void()> emit) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (entry == oldest_) {
      emit();
    } else {
      held_[entry].output.push_back(std::move(emit));
    }
  }

  void WaitForTurn(std::size_t entry) {
    std::unique_lock<std::mutex> lock(mutex_);
    moved_.wait(lock, [this, entry] { return oldest_ >= entry; });
  }

  void Finish(std::size_t entry) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      held_[entry].finished = true;
      // Finished entries at the front go out whole; the next one still running gives out what it
      // has so far and from then on writes directly.
      for (auto front = held_.begin(); front != held_.end() && front->first == oldest_;
           front = held_.begin()) {
        for (std::function<void()>& emit : front->second.output) emit();
        front->second.output.clear();
        if (!front->second.finished) break;
        held_.erase(front);
        ++oldest_;
      }
    }
    moved_.notify_all();
  }

 private:
  struct Held {
    std::vector<std::function<void()>> output;
    bool finished = false;
  };

  const std::size_t count_;
  std::mutex mutex_;
  std::condition_variable moved_;
  std::size_t next_ = 0;
  std::size_t oldest_ = 0;  // the oldest entry not yet given out whole
  std::map<std::size_t, Held> held_;
};

class EntryTurn : public OutputTurn {
 public:
  EntryTurn(EntrySequence& sequence, std::size_t entry) : sequence_(sequence), entry_(entry) {}
  void Emit(std::function<void()> emit) override { sequence_.Emit(entry_, std::move(emit)); }
  void WaitForTurn() override { sequence_.WaitForTurn(entry_); }

 private:
  EntrySequence& sequence_;
  std::size_t entry_;
};

}  // namespace

std::size_t RunOneByOne(std::size_t count, const std::function<void(std::size_t)>& body) {
  std::size_t run = 0;
  std::thread worker([count, &body, &run] {
    for (std::size_t i = 0; i < count && !StopRequested(); ++i) {
      RunEntry(i, body);
      ++run;
    }
  });
  worker.join();
  return run;
}

std::size_t RunInOrder(std::size_t count, std::size_t threads, const std::function<void(std::size_t)>& body) {
  if (threads <= 1 || count <= 1) return RunOneByOne(count, body);
  EntrySequence sequence(count);
  std::atomic<std::size_t> run{0};
  std::vector<std::thread> workers;
  for (std::size_t t = 0; t < std::min(threads, count); ++t) {
    workers.emplace_back([&sequence, &body, &run] {
      std::size_t entry = 0;
      while (sequence.Take(entry)) {
        {
          EntryTurn turn(sequence, entry);
          const OutputTurnScope scope(&turn);
          RunEntry(entry, body);
        }
        sequence.Finish(entry);
        run.fetch_add(1);
      }
    });
  }
  for (std::thread& worker : workers) worker.join();
  return run.load();
}

void EntryGate::Enter(std::size_t entry) {
  std::unique_lock<std::mutex> lock(mutex_);
  moved_.wait(lock, [this, entry] { return next_ >= entry; });
}

void EntryGate::Leave(std::size_t entry) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    next_ = std::max(next_, entry + 1);
  }
  moved_.notify_all();
}

void AddClaims(ClaimTable& table, const std::vector<std::string>& names, std::size_t entry) {
  for (const std::string& name : names) {
    std::string key = ToLowerCopy(name);
    if (table.holders[key].insert(entry).second) table.claims[entry].push_back(std::move(key));
  }
}

bool NoEarlierHolder(const ClaimTable& table, const std::string& name, std::size_t entry) {
  const auto held = table.holders.find(name);
  return held == table.holders.end() || *held->second.begin() >= entry;
}

bool DropClaims(ClaimTable& table, std::size_t entry) {
  const auto claimed = table.claims.find(entry);
  if (claimed == table.claims.end()) return false;
  for (const std::string& key : claimed->second) {
    const auto held = table.holders.find(key);
    held->second.erase(entry);
    if (held->second.empty()) table.holders.erase(held);
  }
  table.claims.erase(claimed);
  return true;
}

void FolderTurns::Claim(const std::vector<std::string>& folders, std::size_t entry) {
  std::lock_guard<std::mutex> lock(mutex_);
  AddClaims(table_, folders, entry);
}

void FolderTurns::AwaitTurn(std::size_t entry) {
  std::unique_lock<std::mutex> lock(mutex_);
  const auto claimed = table_.claims.find(entry);
  if (claimed == table_.claims.end()) return;
  released_.wait(lock, [this, &claimed, entry] {
    return std::all_of(claimed->second.begin(), claimed->second.end(),
                       [this, entry](const std::string& key) { return NoEarlierHolder(table_, key, entry); });
  });
}

void FolderTurns::Release(std::size_t entry) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!DropClaims(table_, entry)) return;
  }
  released_.notify_all();
}

std::size_t BundleThreads() { return static_cast<std::size_t>(CopySlotLimit()); }

ScanProgressTicker::ScanProgressTicker(const std::atomic<int>& processed, int total, bool endOnStop)
    : processed_(processed), total_(total), endOnStop_(endOnStop) {
  // Its bar belongs to the work that started it.
  thread_ = std::thread([this, turn = CurrentOutputTurn()] {
    const OutputTurnScope inTurn(turn);
    std::unique_lock<std::mutex> lock(mutex_);
    // Redraw at the old period while work goes on, but never make the caller wait for a period to end.
    while (!done_ && !(endOnStop_ && StopRequested())) {
      lock.unlock();
      // A full bar is printed once, at the end: here it would come twice or once as timing fell.
      const int processed = processed_.load();
      if (processed < total_) PrintScanProgress(processed, total_);
      lock.lock();
      wake_.wait_for(lock, std::chrono::milliseconds(500), [this] { return done_; });
    }
    lock.unlock();
    PrintScanProgress(total_, total_);
  });
}

ScanProgressTicker::~ScanProgressTicker() { Finish(); }

void ScanProgressTicker::Finish() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    done_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}
