// Client file index: build time over a generated tree, and lookups per second for each rule at
// 10k, 50k and 100k files, next to the plain ordered walk that the index replaces.
//
// Tree: leaf folders kind\setNN\LLLLL with ten files each: one model shared by 3 leaves, six
// unique textures, two textures shared by 20 leaves, and "lod.gr2", which every leaf holds.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "../tests/support/plain_walk_index.hpp"
#include "../tests/support/test_environment.hpp"
#include "platform/platform.hpp"
#include "support/client_file_index.hpp"

namespace {

const char* const kKinds[] = {"item", "monster", "npc", "pc", "effect"};

std::string Number(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%05d", value);
  return text;
}

std::string LeafFolder(int leaf) {
  return std::string(kKinds[leaf % 5]) + "\\set" + std::to_string(leaf / 5 % 40) + "\\" + Number(leaf);
}

std::string FileName(int leaf, int j) {
  if (j == 0) return "m" + Number(leaf / 3) + ".gr2";
  if (j <= 6) return Number(leaf) + "_" + std::to_string(j) + ".dds";
  if (j <= 8) return "c" + Number(leaf / 20) + "_" + std::to_string(j) + ".dds";
  return "lod.gr2";
}

bool CreateLeaves(const std::string& root, int from, int to) {
  for (int leaf = from; leaf < to; ++leaf) {
    const std::string folder = root + LeafFolder(leaf);
    if (platform::CreateFolderWithParents(folder) == platform::CreateFolderResult::Failed) return false;
    for (int j = 0; j < 10; ++j) {
      if (!platform::File::CreateForWrite(folder + "\\" + FileName(leaf, j)).IsOpen()) return false;
    }
  }
  return true;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Processor time of this (single-threaded) program: a busy shared machine stretches wall-clock
// time, not this.
double CpuSeconds(std::clock_t since) { return static_cast<double>(std::clock() - since) / CLOCKS_PER_SEC; }

using Query = std::pair<std::string, std::string>;

// Lookups per processor second over at least `minimum` seconds, cycling through prepared queries;
// the best of three runs.
double Rate(const std::vector<Query>& queries, const std::function<bool(const Query&)>& lookup,
            double minimum) {
  double best = 0;
  for (int run = 0; run < 3; ++run) {
    const std::clock_t start = std::clock();
    std::size_t done = 0;
    volatile std::size_t found = 0;
    while (done < 3 || CpuSeconds(start) < minimum) {
      found = found + lookup(queries[done % queries.size()]);
      ++done;
    }
    best = std::max(best, done / CpuSeconds(start));
  }
  return best;
}

struct Rule {
  const char* name;
  // A hint and a name for a tree of `leaves` leaf folders.
  std::function<Query(int leaves)> query;
};

// Build time of the index over an existing client, best of `runs`, beside one plain recursive listing
// of the same tree (names and types only, as `find` lists), which is the floor of any index build.
int TimeClient(const std::string& client, int runs) {
  const std::string root = platform::ToInternalPath(client);
  double best = 1e9;
  double bestListing = 1e9;
  double bestPlain = 1e9;
  std::size_t files = 0;
  std::size_t listed = 0;
  for (int run = 0; run < runs; ++run) {
    const auto listingStart = std::chrono::steady_clock::now();
    listed = 0;
    std::vector<std::string> folders{root};
    std::vector<platform::DirEntry> entries;
    while (!folders.empty()) {
      const std::string folder = folders.back();
      folders.pop_back();
      if (!platform::ListDirectory(folder, entries)) continue;
      for (const platform::DirEntry& entry : entries) {
        if (entry.isDirectory) folders.push_back(folder + "\\" + entry.name);
        if (entry.isRegularFile) ++listed;
      }
    }
    bestListing = std::min(bestListing, Seconds(listingStart));
    // The plainest listing the standard library gives, names and types only, as `find` lists.
    const auto plainStart = std::chrono::steady_clock::now();
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(client, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
    }
    bestPlain = std::min(bestPlain, Seconds(plainStart));
    ClientFileIndex index;
    const auto buildStart = std::chrono::steady_clock::now();
    index.Build(root);
    best = std::min(best, Seconds(buildStart));
    files = index.Size();
  }
  std::printf("%zu files indexed (%zu listed): build %.3f s, listing %.3f s, ratio %.2f; "
              "plain listing %.3f s, ratio %.2f\n",
              files, listed, best, bestListing, best / bestListing, bestPlain, best / bestPlain);
  return 0;
}

}  // namespace

// Without arguments: the generated trees. With --client DIR [runs]: the build over that client.
int main(int argc, char** argv) {
  if (argc >= 3 && std::string(argv[1]) == "--client")
    return TimeClient(argv[2], argc > 3 ? std::atoi(argv[3]) : 3);
  const std::string root = platform::TempFolder() + "vintrel-index-bench-" +
                           std::to_string(platform::CurrentThreadId()) + "-" +
                           std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
  std::mt19937 random(42);
  auto pick = [&random](int leaves) { return static_cast<int>(random() % static_cast<unsigned>(leaves)); };

  const std::vector<Rule> rules = {
      {"exact key",
       [&](int n) {
         const int l = pick(n);
         return std::make_pair(LeafFolder(l), FileName(l, 2));
       }},
      {"empty hint (by name)", [&](int n) { return std::make_pair(std::string(), FileName(pick(n), 7)); }},
      {"last folder",
       [&](int n) {
         const int l = pick(n);
         return std::make_pair(Number(l), FileName(l, 8));
       }},
      {"deepest containing",
       [&](int n) {
         const int l = pick(n);
         return std::make_pair(std::string(kKinds[l % 5]) + "\\set", FileName(l, 7));
       }},
      {"fallback by name",
       [&](int n) { return std::make_pair(std::string("nowhere"), FileName(pick(n), 0)); }},
      {"miss", [&](int) { return std::make_pair(std::string("item"), std::string("absent.dds")); }},
      {"worst: name in every leaf",
       [&](int) { return std::make_pair(std::string("nowhere"), std::string("lod.gr2")); }},
  };

  int leavesMade = 0;
  for (int files : {10000, 50000, 100000}) {
    const int leaves = files / 10;
    const auto createStart = std::chrono::steady_clock::now();
    if (!CreateLeaves(root + "\\", leavesMade, leaves)) {
      std::fprintf(stderr, "cannot create the tree below %s\n", root.c_str());
      testenv::RemoveTree(root);
      return 1;
    }
    leavesMade = leaves;
    const double createSeconds = Seconds(createStart);

    ClientFileIndex index;
    const auto buildStart = std::chrono::steady_clock::now();
    const std::clock_t buildCpuStart = std::clock();
    index.Build(root);
    const double buildSeconds = Seconds(buildStart);
    const double buildCpuSeconds = CpuSeconds(buildCpuStart);
    testenv::PlainWalkIndex plain;
    plain.Build(root);

    std::printf("\n%d files (%zu indexed; tree made in %.1f s), build %.3f s (%.3f s of processor)\n", files,
                index.Size(), createSeconds, buildSeconds, buildCpuSeconds);
    std::printf("  %-26s %16s %16s\n", "rule", "index lookups/cpu-s", "plain walk /cpu-s");
    for (const Rule& rule : rules) {
      std::vector<Query> queries;
      for (int i = 0; i < 4096; ++i) queries.push_back(rule.query(leaves));
      const double indexed = Rate(
          queries, [&](const Query& q) { return !index.Resolve(q.first, q.second).empty(); }, 0.2);
      const double walked = Rate(
          queries, [&](const Query& q) { return !plain.Resolve(q.first, q.second).empty(); }, 0.1);
      std::printf("  %-26s %16.0f %16.0f\n", rule.name, indexed, walked);
    }
    std::vector<Query> names;
    for (int i = 0; i < 4096; ++i) names.emplace_back(std::string(), FileName(pick(leaves), 0));
    const double byName = Rate(
        names, [&](const Query& q) { return !index.FindByName(q.second).empty(); }, 0.2);
    std::printf("  %-26s %16.0f\n", "FindByName", byName);
  }
  testenv::RemoveTree(root);
  return 0;
}
