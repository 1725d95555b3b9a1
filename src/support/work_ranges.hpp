// The threads of an export: entries handed out one by one on one extra thread, or split into
// consecutive ranges over a pool, with a console progress bar that is redrawn while they run.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// `count` entries in `parts` consecutive ranges [from, to): the first count % parts ranges hold one
// entry more. `parts` 0 counts as 1; ranges may be empty when parts > count.
std::vector<std::pair<std::size_t, std::size_t>> SplitIntoRanges(std::size_t count, std::size_t parts);

// The number of hardware threads the runtime reports, `whenUnknown` when it reports none.
std::size_t HardwareThreads(std::size_t whenUnknown);

// Runs body(i) for i = 0..count-1 in order on one extra thread and joins it. A stop request ends
// the loop before the next entry. An exception escaping one entry is reported ("[ERROR] ...") and
// the loop goes on, so one bad entry cannot end the process. Returns the number of entries run.
std::size_t RunOneByOne(std::size_t count, const std::function<void(std::size_t)>& body);

// Runs body(i) for i = 0..count-1 on up to `threads` threads, handing entries out in order. Each
// entry's output (log, window log, console) is held until every entry before it has given out its
// own, so the logs read as those of RunOneByOne. A stop request ends the handing out; entries
// started run to their end. An exception escaping one entry is reported ("[ERROR] ...") in its
// place and the others go on. Returns the number of entries run.
std::size_t RunInOrder(std::size_t count, std::size_t threads, const std::function<void(std::size_t)>& body);

// Lets the entries of a RunInOrder through one at a time in entry order: for the part of an entry
// that reads or fills state the entries after it rely on. Every entry handed out must pass, or the
// ones after it wait for ever: make the Pass the first thing the entry does.
class EntryGate {
 public:
  class Pass {
   public:
    Pass(EntryGate& gate, std::size_t entry) : gate_(gate), entry_(entry) { gate_.Enter(entry_); }
    ~Pass() { gate_.Leave(entry_); }
    Pass(const Pass&) = delete;
    Pass& operator=(const Pass&) = delete;

   private:
    EntryGate& gate_;
    std::size_t entry_;
  };

 private:
  void Enter(std::size_t entry);
  void Leave(std::size_t entry);

  std::mutex mutex_;
  std::condition_variable moved_;
  std::size_t next_ = 0;
};

// Which entries claimed which names (folders, destinations; lower-cased), for the classes that make
// an entry wait for the earlier ones claiming the same. Locked by its owner.
struct ClaimTable {
  std::map<std::string, std::set<std::size_t>> holders;   // name -> entries holding it
  std::map<std::size_t, std::vector<std::string>> claims;  // entry -> its names
};
void AddClaims(ClaimTable& table, const std::vector<std::string>& names, std::size_t entry);
// True when no entry before `entry` holds the (lower-cased) name.
bool NoEarlierHolder(const ClaimTable& table, const std::string& name, std::size_t entry);
// Gives up the entry's claims; false when it held none.
bool DropClaims(ClaimTable& table, std::size_t entry);

// For the entries of a RunInOrder that may export into the same folder: each claims its folders in
// entry order (in its EntryGate pass, or before the run), and before writing waits for the entries
// before it that claimed any of them. Entries sharing a folder then fill it, and its report entry,
// one after another in entry order, as one at a time; the others go on side by side.
class FolderTurns {
 public:
  // Holds the entry's claims until the scope ends, however the entry ends.
  class Claims {
   public:
    Claims(FolderTurns& turns, std::size_t entry) : turns_(turns), entry_(entry) {}
    ~Claims() { turns_.Release(entry_); }
    Claims(const Claims&) = delete;
    Claims& operator=(const Claims&) = delete;

   private:
    FolderTurns& turns_;
    std::size_t entry_;
  };

  void Claim(const std::vector<std::string>& folders, std::size_t entry);
  // Returns once the entries before `entry` that claimed one of its folders are done.
  void AwaitTurn(std::size_t entry);

 private:
  void Release(std::size_t entry);

  std::mutex mutex_;
  std::condition_variable released_;
  ClaimTable table_;
};

// The threads for exporting bundles side by side: as many as the copy slots.
std::size_t BundleThreads();

// Prints PrintScanProgress(processed, total) every 500 ms on its own thread until Finish(), which
// wakes it at once, joins it and prints the full bar. With `endOnStop` it also stops redrawing
// when a stop is requested.
class ScanProgressTicker {
 public:
  ScanProgressTicker(const std::atomic<int>& processed, int total, bool endOnStop);
  ~ScanProgressTicker();
  ScanProgressTicker(const ScanProgressTicker&) = delete;
  ScanProgressTicker& operator=(const ScanProgressTicker&) = delete;

  void Finish();

 private:
  const std::atomic<int>& processed_;
  const int total_;
  const bool endOnStop_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;
  std::thread thread_;
};
