// The .gr2 container reader and root walk on arbitrary bytes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "gr2_fuzz_input.hpp"
#include "granny2/gr2_root_walk.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> bytes = Gr2WithRightCrc(data, size);
  granny2::RootSummary summary;
  std::string error;
  if (!granny2::ReadGr2(bytes.data(), bytes.size(), summary, error) && error.empty()) __builtin_trap();
  return 0;
}
