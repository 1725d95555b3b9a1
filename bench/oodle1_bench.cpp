// Output rate of the Oodle1 section decoder on the real test models: every section of every file is
// decoded over and over for a few seconds on one thread. Usage: oodle1_bench [seconds]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "granny2/gr2_container.hpp"
#include "granny2/oodle1.hpp"
#include "platform/platform.hpp"

namespace {

struct Model {
  std::string name;
  std::string bytes;
  std::vector<granny2::SectionHeader> sections;
};

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
  const char* const names[] = {"Caveman.gr2", "RockSlinger_proj_rock.gr2", "Scout_Mongol.gr2"};
  std::vector<Model> models;
  size_t largest = 0;
  for (const char* name : names) {
    Model m;
    m.name = name;
    const std::string path =
        platform::ToInternalPath(std::string(VINTREL_SHARED_TESTDATA) + "/gr2-oodle1/" + name);
    granny2::Container container;
    std::string error;
    if (!platform::ReadWholeFile(path, m.bytes) ||
        !granny2::ReadContainer(reinterpret_cast<const uint8_t*>(m.bytes.data()), m.bytes.size(), container,
                                error)) {
      std::fprintf(stderr, "cannot read the sections of %s: %s\n", path.c_str(), error.c_str());
      return 1;
    }
    m.sections = container.sections;
    for (const granny2::SectionHeader& s : m.sections)
      largest = std::max<size_t>(largest, s.decompressedSize);
    models.push_back(std::move(m));
  }

  std::vector<uint8_t> out(largest);
  std::string error;
  uint64_t outputBytes = 0;
  uint64_t inputBytes = 0;
  uint64_t passes = 0;
  const auto begin = std::chrono::steady_clock::now();
  const std::clock_t cpuBegin = std::clock();
  double elapsed = 0;
  while (elapsed < seconds) {
    for (const Model& m : models) {
      for (const granny2::SectionHeader& s : m.sections) {
        if (s.compression != 2 || s.decompressedSize == 0) continue;
        const auto* in = reinterpret_cast<const uint8_t*>(m.bytes.data()) + s.dataOffset;
        if (!Oodle1Decompress(in, s.compressedSize, out.data(), s.decompressedSize, s.first16bit, s.first8bit,
                              &error)) {
          std::fprintf(stderr, "%s: %s\n", m.name.c_str(), error.c_str());
          return 1;
        }
        outputBytes += s.decompressedSize;
        inputBytes += s.compressedSize;
      }
    }
    ++passes;
    elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  }
  // On a shared machine the wall clock also counts other programs' turns; CPU time does not.
  const double cpu = double(std::clock() - cpuBegin) / CLOCKS_PER_SEC;
  std::printf("oodle1: %llu passes over %zu files, %.2f s wall, %.2f s CPU\n",
              static_cast<unsigned long long>(passes), models.size(), elapsed, cpu);
  std::printf("oodle1: %.1f MB/s decompressed output per CPU second (%.1f MB/s wall clock)\n",
              outputBytes / cpu / 1e6, outputBytes / elapsed / 1e6);
  std::printf("oodle1: %.1f MB/s compressed input per CPU second\n", inputBytes / cpu / 1e6);
  return 0;
}
