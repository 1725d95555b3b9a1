#include "support/work_ranges.hpp"

#include <chrono>
#include <exception>
#include <string>

#include "log/console.hpp"
#include "support/export_files.hpp"
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

std::size_t RunOneByOne(std::size_t count, const std::function<void(std::size_t)>& body) {
  std::size_t run = 0;
  std::thread worker([count, &body, &run] {
    for (std::size_t i = 0; i < count && !StopRequested(); ++i) {
      try {
        body(i);
      } catch (const std::exception& error) {
        ReportErr("Entry " + std::to_string(i + 1) + " failed: " + error.what());
      } catch (...) {
        ReportErr("Entry " + std::to_string(i + 1) + " failed: unknown exception");
      }
      ++run;
    }
  });
  worker.join();
  return run;
}

ScanProgressTicker::ScanProgressTicker(const std::atomic<int>& processed, int total, bool endOnStop)
    : processed_(processed), total_(total), endOnStop_(endOnStop) {
  thread_ = std::thread([this] {
    std::unique_lock<std::mutex> lock(mutex_);
    // Redraw at the old period while work goes on, but never make the caller wait for a period to end.
    while (!done_ && !(endOnStop_ && StopRequested())) {
      lock.unlock();
      PrintScanProgress(processed_.load(), total_);
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
