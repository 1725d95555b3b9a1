// What a task run did, recorded as it happens, for the export report: every file written below the
// task folder or the mirror root, every reference that was not found, every path refused, every
// entry left out, grouped by bundle (one group, item, NPC folder or map object).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct JournalFile {
  std::string destination;  // absolute internal path
  std::string source;       // absolute internal path; empty for a file made by the program
  std::uint64_t bytes = 0;
};

struct JournalReference {
  std::string reference;  // as written in the data
  std::string namedBy;    // "model", "model texture", "script texture", "effect script", ...
};

struct JournalBundle {
  std::string folder;      // absolute internal path of the bundle's own folder
  std::string originFile;  // the script or list it came from (absolute)
  int originLine = 0;      // 1-based; 0 when unknown
  std::vector<JournalFile> files;
  std::vector<JournalFile> mirrorCopies;
  std::vector<JournalReference> missing;
  std::vector<std::string> refused;
};

struct JournalLeftOut {
  std::string entry;   // what the data calls it: group name, item number, NPC name, property name
  std::string reason;  // "standard", "duplicate", "category", "nothing found", "refused"
  std::string rule;    // for "standard": "model name", "slot", "number", "property name"
  std::string key;     // the value the rule matched
};

struct ExportJournal {
  std::string task;
  std::string taskFolder;
  bool plan = false;  // a dry run: nothing was written
  std::vector<std::string> selections;
  std::vector<JournalBundle> bundles;   // sorted by folder when taken
  std::vector<JournalFile> otherFiles;  // written outside every bundle
  std::vector<JournalLeftOut> leftOut;
};

// Starts recording a run of `task` below `taskFolder`; what an earlier run recorded is dropped.
void StartJournal(const std::string& task, const std::string& taskFolder, bool plan);
// True between StartJournal and TakeJournal.
bool JournalActive();
// True while a dry run is recorded: copies and writes are planned, not made.
bool PlanOnly();

// Makes a bundle the calling thread's current one until the scope ends: files and references
// recorded on this thread meanwhile belong to it. Opening the same folder again adds to it.
class JournalBundleScope {
 public:
  JournalBundleScope(const std::string& folder, const std::string& originFile, int originLine);
  ~JournalBundleScope();
  JournalBundleScope(const JournalBundleScope&) = delete;
  JournalBundleScope& operator=(const JournalBundleScope&) = delete;

 private:
  std::string previous_;
};

// A file written: it belongs to the bundle whose folder holds it, else (a mirror copy) to the
// calling thread's current bundle, else to the run.
void RecordFileWritten(const std::string& destination, const std::string& source, std::uint64_t bytes);
void RecordMissingReference(const std::string& reference, const std::string& namedBy);
void RecordRefusedPath(const std::string& path);
void RecordLeftOut(const JournalLeftOut& entry);
void RecordSelection(const std::string& answer);

// The files written below the task folder so far, in no particular order.
std::vector<std::string> JournalWrittenFiles();

// Ends the recording and hands over what was recorded: bundles sorted by folder, each file listed
// once (its last write) in destination order, bundles that got no file left out.
ExportJournal TakeJournal();
