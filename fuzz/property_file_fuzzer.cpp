#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "readers/property_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const PrbRecord prb = ParsePrbText(text);
  if (prb.found == prb.propertyName.empty() || prb.found != prb.error.empty()) std::abort();
  const PreRecord pre = ParsePreText(text);
  if (pre.found == pre.propertyName.empty() || !pre.error.empty()) std::abort();
  return 0;
}
