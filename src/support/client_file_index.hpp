// Catalogue of every file below the client root, keyed by lower-cased relative folder and file
// name, that turns a game reference (folder hint + name, or a bare name) into a path on disk.
//
// Key: relative folder (backslashes, no leading or trailing one, empty for the root itself), "/",
// file name; all lower-case, in platform::NameAsListed form (as are the names looked up). Value:
// the scanned folder, "\", the name as the listing spelled it.
// Lookups answer exactly as an ordered walk over the keys would, but through secondary indexes by
// file name, so none of them walks the whole catalogue.
#pragma once

#include <cstddef>
#include <exception>
#include <map>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "log/held_output.hpp"

// The look-up tables by file name over a catalogue (key -> path), keyed by parts of its keys (whose
// nodes never move): no copy of any name.
struct FileNameTables {
  using Entry = std::map<std::string, std::string>::value_type;
  struct NameEntries {
    std::vector<const Entry*> byKey;    // key order
    std::vector<const Entry*> byDepth;  // most separators first, key order on ties; empty for one entry
    // While the tables are made, byKey's separator counts, taken while each key is at hand; empty
    // for one entry and once ordered.
    std::vector<std::size_t> separators;
    bool outOfKeyOrder = false;  // while the tables are made: byKey needs sorting
  };
  std::unordered_map<std::string_view, NameEntries> byName;
  // "last folder component" "/" "name" -> the first such entry in key order.
  std::unordered_map<std::string_view, const Entry*> byLastFolder;
};

class ClientFileIndex {
 public:
  // Scans `clientRoot` recursively and adds every file ("/" read as "\", trailing "\" ignored).
  // A key already present keeps its first path. A root other than the one the index holds
  // empties the index first, so a new client's files are never answered with the old one's paths.
  // A missing or empty folder adds nothing.
  void Build(const std::string& clientRoot);
  void Clear();

  // Absolute path of the first file, in key order, named `fileName` (any case); empty if none.
  std::string FindByName(const std::string& fileName) const;
  // Best match for `fileName` within `folderHint`, by these rules in order (empty if none):
  //  1. the exact key hint/name;
  //  2. empty hint: FindByName;
  //  3. the first key whose folder's last component equals the whole hint;
  //  4. the deepest folder (most separators) that contains the hint, the first key on ties;
  //  5. FindByName.
  std::string Resolve(const std::string& folderHint, const std::string& fileName) const;
  // Every file named `fileName` (any case), in key order.
  std::vector<std::string> FindAllByName(const std::string& fileName) const;
  // Every file whose name ends in `extension` (any case, e.g. ".prb"), in key order.
  std::vector<std::string> FilesWithExtension(const std::string& extension) const;

  std::size_t Size() const;
  // Normalised root of the files held (empty when nothing has been built).
  std::string Root() const;

 private:
  using Entry = FileNameTables::Entry;

  void RebuildSecondaryIndexes();
  std::string FindByNameLocked(const std::string& lowerName) const;

  mutable std::shared_mutex mutex_;
  std::string rootKey_;  // lower-cased root, to notice a switch of client
  std::string root_;
  std::map<std::string, std::string> entries_;
  FileNameTables tables_;
};

// The process-wide index that the task drivers build and the exporters query.
ClientFileIndex& GetClientFileIndex();

void BuildClientFileIndex(const std::string& clientRoot);

// BuildClientFileIndex on its own thread, started while the task walks the client for its lists,
// so that the two walks share the machine. Finish waits for it and gives out its log lines at
// that point, where the build would have run; a task that ends before Finish drops them.
class BackgroundIndexBuild {
 public:
  explicit BackgroundIndexBuild(const std::string& clientRoot);
  ~BackgroundIndexBuild();
  BackgroundIndexBuild(const BackgroundIndexBuild&) = delete;
  BackgroundIndexBuild& operator=(const BackgroundIndexBuild&) = delete;

  void Finish();

 private:
  HeldOutput output_;
  std::exception_ptr failure_;
  std::thread thread_;  // last: it starts once the rest is in place
};
std::string Resolve(const std::string& folderHint, const std::string& fileName);
std::string FindByName(const std::string& fileName);
