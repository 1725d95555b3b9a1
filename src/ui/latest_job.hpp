// A thread of its own that runs the most recent job handed to it: a job handed over while another
// runs replaces any that is still waiting, so a quick series of clicks decodes only the last one.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class LatestJob {
 public:
  LatestJob() : thread_([this] { Loop(); }) {}
  ~LatestJob() { Stop(); }
  LatestJob(const LatestJob&) = delete;
  LatestJob& operator=(const LatestJob&) = delete;

  void Post(std::function<void()> job) {
    std::lock_guard<std::mutex> lock(mutex_);
    waiting_ = std::move(job);
    wake_.notify_one();
  }

  // Lets a running job finish and drops a waiting one.
  void Stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
      waiting_ = nullptr;
      wake_.notify_one();
    }
    if (thread_.joinable()) thread_.join();
  }

 private:
  void Loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return stopping_ || waiting_; });
      if (stopping_) return;
      std::function<void()> job = std::move(waiting_);
      waiting_ = nullptr;
      lock.unlock();
      job();
      lock.lock();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::function<void()> waiting_;
  bool stopping_ = false;
  std::thread thread_;
};
