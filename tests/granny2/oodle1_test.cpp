#include "granny2/oodle1.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "granny2/gr2_container.hpp"
#include "platform/platform.hpp"
#include "support/sha256.hpp"

namespace {

struct Decoded {
  bool ok = false;
  std::string error;
  std::vector<uint8_t> out;
};

// Into a buffer of exactly the requested size, so that AddressSanitizer sees any overrun.
Decoded Decode(const std::vector<uint8_t>& in, size_t outSize, uint32_t stop0, uint32_t stop1) {
  Decoded d;
  d.out.assign(outSize, 0xAA);
  d.ok = Oodle1Decompress(in.data(), in.size(), d.out.data(), outSize, stop0, stop1, &d.error);
  if (!d.ok) {
    EXPECT_FALSE(d.error.empty());
  }
  return d;
}

// The largest real section, where the most decoder state is exercised.
struct BigSection {
  granny2::SectionHeader header;
  std::vector<uint8_t> compressed;
  Decoded Run(const std::vector<uint8_t>& in) const {
    return Decode(in, header.decompressedSize, header.first16bit, header.first8bit);
  }
};

BigSection LoadBigSection() {
  std::string bytes, error;
  platform::ReadWholeFile(platform::ToInternalPath(std::string(VINTREL_SHARED_TESTDATA) +
                                                   "/gr2-oodle1/RockSlinger_proj_rock.gr2"),
                          bytes);
  granny2::Container container;
  EXPECT_TRUE(
      granny2::ReadContainer(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), container, error))
      << error;
  BigSection big;
  if (container.sections.empty()) return big;
  big.header = container.sections[0];
  big.compressed.assign(bytes.begin() + big.header.dataOffset,
                        bytes.begin() + big.header.dataOffset + big.header.compressedSize);
  return big;
}

TEST(Oodle1, EveryTruncationIsRefusedInBounds) {
  const BigSection big = LoadBigSection();
  ASSERT_FALSE(big.compressed.empty());
  for (size_t cut = 1; cut < big.compressed.size(); ++cut) {
    // A copy of exactly the truncated length, so reading one byte further is caught.
    const Decoded d = big.Run(std::vector<uint8_t>(big.compressed.begin(), big.compressed.begin() + cut));
    // Up to the read-ahead slack the tail may be padding the decoder never needed.
    if (cut + 16 < big.compressed.size()) {
      EXPECT_FALSE(d.ok) << cut;
    }
  }
}

TEST(Oodle1, CorruptedBytesAreRefusedOrChangeTheOutputInBounds) {
  const BigSection big = LoadBigSection();
  ASSERT_FALSE(big.compressed.empty());
  const Decoded good = big.Run(big.compressed);
  ASSERT_TRUE(good.ok) << good.error;
  size_t changed = 0;
  std::vector<uint8_t> bad = big.compressed;
  for (size_t at = 0; at < bad.size(); ++at) {
    for (uint8_t mask : {0x01, 0x80, 0xFF}) {
      bad[at] ^= mask;
      const Decoded d = big.Run(bad);
      if (!d.ok || d.out != good.out) ++changed;
      bad[at] ^= mask;
    }
  }
  // Nearly every damaged byte must show; a coder that ignored its input would pass none.
  EXPECT_GT(changed, bad.size() * 3 * 9 / 10);
}

}  // namespace
