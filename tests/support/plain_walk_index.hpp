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

// ASCII lower case, as the catalogue keys are.
inline std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

class PlainWalkIndex {
 public:
  void Build(const std::string& clientRoot) {
    std::string root = clientRoot;
    std::replace(root.begin(), root.end(), '/', '\\');
    while (!root.empty() && root.back() == '\\') root.pop_back();
    Scan(root, Lower(root));
  }

  std::string FindByName(const std::string& fileName) const {
    const std::string name = Lower(fileName);
    for (const auto& entry : keys_) {
      const std::size_t last = entry.first.find_last_of("/\\");
      if ((last == std::string::npos ? entry.first : entry.first.substr(last + 1)) == name)
        return entry.second;
    }
    return "";
  }

  std::string Resolve(const std::string& folderHint, const std::string& fileName) const {
    std::string hint = Lower(folderHint);
    std::replace(hint.begin(), hint.end(), '/', '\\');
    while (!hint.empty() && hint.front() == '\\') hint.erase(0, 1);
    while (!hint.empty() && hint.back() == '\\') hint.pop_back();
    const std::string name = Lower(fileName);
    const auto exact = keys_.find(hint + "/" + name);
    if (exact != keys_.end()) return exact->second;
    if (hint.empty()) return FindByName(name);
    for (const auto& entry : keys_) {
      const std::size_t slash = entry.first.find('/');
      const std::string folder = entry.first.substr(0, slash);
      if (entry.first.substr(slash + 1) != name) continue;
      const std::size_t last = folder.find_last_of("\\/");
      if ((last == std::string::npos ? folder : folder.substr(last + 1)) == hint) return entry.second;
    }
    const std::string* kept = nullptr;
    long keptCount = -1;
    for (const auto& entry : keys_) {
      const std::size_t slash = entry.first.find('/');
      const std::string folder = entry.first.substr(0, slash);
      if (entry.first.substr(slash + 1) != name || folder.size() < hint.size() ||
          folder.find(hint) == std::string::npos) {
        continue;
      }
      const long count =
          std::count(folder.begin(), folder.end(), '\\') + std::count(folder.begin(), folder.end(), '/');
      if (count > keptCount) {
        kept = &entry.second;
        keptCount = count;
      }
    }
    if (kept) return *kept;
    return FindByName(name);
  }

 private:
  void Scan(const std::string& folder, const std::string& lowerRoot) {
    std::vector<platform::DirEntry> entries;
    if (!platform::ListDirectory(folder, entries)) return;
    std::string relative = Lower(folder).substr(lowerRoot.size());
    while (!relative.empty() && relative.front() == '\\') relative.erase(0, 1);
    for (const platform::DirEntry& entry : entries) {
      const std::string full = folder + "\\" + entry.name;
      if (entry.isDirectory) {
        Scan(full, lowerRoot);
      } else {
        keys_.emplace(relative + "/" + Lower(entry.name), full);
      }
    }
  }

  std::map<std::string, std::string> keys_;
};

}  // namespace testenv
