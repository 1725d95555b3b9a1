// The client file catalogue walked key by key, rule by rule, the straightforward way: the yardstick
// that the indexed lookups are compared with (tests) and timed against (bench).
#pragma once

#include <algorithm>
#include <cctype>
#include <map>
#include <string>
#include <vector>

#include "platform/platform.hpp"

namespace testenv {

inline std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

class PlainWalkIndex {
 public:
  void Build(std::string root) {
    std::replace(root.begin(), root.end(), '/', '\\');
    root.erase(root.find_last_not_of('\\') + 1);
    Scan(root, root.size());
  }

  std::string FindByName(const std::string& fileName) const {
    for (const auto& entry : keys_) {
      if (entry.first.substr(entry.first.find('/') + 1) == Lower(fileName)) return entry.second;
    }
    return "";
  }

  std::string Resolve(const std::string& folderHint, const std::string& fileName) const {
    std::string hint = Lower(folderHint);
    const std::string name = Lower(fileName);
    std::replace(hint.begin(), hint.end(), '/', '\\');
    hint.erase(0, hint.find_first_not_of('\\'));
    hint.erase(hint.find_last_not_of('\\') + 1);
    const auto exact = keys_.find(hint + "/" + name);
    if (exact != keys_.end()) return exact->second;
    if (hint.empty()) return FindByName(name);
    const std::string* deepest = nullptr;
    long depth = -1;
    for (const auto& entry : keys_) {
      const std::size_t slash = entry.first.find('/');
      const std::string folder = entry.first.substr(0, slash);
      if (entry.first.substr(slash + 1) != name) continue;
      // The last folder component equal to the hint wins at once; else the deepest containing folder.
      if (folder.substr(folder.find_last_of('\\') + 1) == hint) return entry.second;
      const long count = std::count(folder.begin(), folder.end(), '\\');
      if (folder.find(hint) != std::string::npos && count > depth) {
        deepest = &entry.second;
        depth = count;
      }
    }
    return deepest ? *deepest : FindByName(name);
  }

 private:
  void Scan(const std::string& folder, std::size_t rootSize) {
    std::vector<platform::DirEntry> entries;
    if (!platform::ListDirectory(folder, entries)) return;
    std::string relative = Lower(folder.substr(rootSize));
    relative.erase(0, relative.find_first_not_of('\\'));
    for (const platform::DirEntry& entry : entries) {
      if (entry.isDirectory) {
        Scan(folder + "\\" + entry.name, rootSize);
      } else {
        keys_.emplace(relative + "/" + Lower(entry.name), folder + "\\" + entry.name);
      }
    }
  }

  std::map<std::string, std::string> keys_;
};

}  // namespace testenv
