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

// Three identical parameter blocks followed by a fill byte: enough to drive each refusal path.
std::vector<uint8_t> HandMadeStream(uint32_t literalLimit, uint8_t lengthCapacity, uint8_t fill) {
  std::vector<uint8_t> stream(36 + 64, fill);
  const uint32_t words[3] = {literalLimit | (4096u << 9), 256u | (1u << 19), lengthCapacity * 0x01010101u};
  for (int i = 0; i < 36; ++i) stream[i] = static_cast<uint8_t>(words[i / 4 % 3] >> (8 * (i % 4)));
  return stream;
}

TEST(Oodle1, MalformedInputIsRefusedWithTheReason) {
  const BigSection big = LoadBigSection();
  ASSERT_FALSE(big.compressed.empty());
  const uint32_t n = big.header.decompressedSize;
  struct Case {
    std::vector<uint8_t> in;
    uint32_t outSize, stop0, stop1;
    const char* reason;
  };
  const Case cases[] = {
      {big.compressed, n, 10, 5, "stops 10, 5 do not fit"},
      {big.compressed, n, 0, n + 1, "do not fit"},
      {std::vector<uint8_t>(big.compressed.begin(), big.compressed.begin() + 20), n, 0, 0, "header"},
      {HandMadeStream(0, 64, 0x00), 1000, 0, 0, "empty range"},  // a literal is needed, none is allowed
      {HandMadeStream(256, 0, 0x00), 1000, 0, 0, "capacity"},    // the length model may learn no value
      {HandMadeStream(256, 64, 0xFF), 1000, 0, 0, "before the start"},  // the first symbol is a long copy
      {HandMadeStream(256, 64, 0x00), 1000, 0, 0, "ends before"},       // zero literals outrun the input
      // Claiming a larger section than was compressed runs the coder dry.
      {big.compressed, n + 4096, big.header.first16bit, big.header.first8bit, "at output byte"},
  };
  for (const Case& c : cases) {
    const Decoded d = Decode(c.in, c.outSize, c.stop0, c.stop1);
    EXPECT_FALSE(d.ok) << c.reason;
    EXPECT_NE(d.error.find(c.reason), std::string::npos) << d.error;
  }
  // Stops other than the file's own split the stream elsewhere: refused or garbage, never a crash.
  for (uint32_t stop1 : {0u, n}) Decode(big.compressed, n, 0, stop1);
}

TEST(Oodle1, EmptyInputOrOutputNeedsNoData) {
  const uint8_t junk[4] = {1, 2, 3, 4};
  EXPECT_TRUE(Oodle1Decompress(junk, sizeof junk, nullptr, 0, 0, 0, nullptr));
  // Nothing compressed: the section is all zeros, whatever was in the buffer before.
  Decoded d = Decode({}, 100, 0, 0);
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_EQ(d.out, std::vector<uint8_t>(100, 0));
  d = Decode(HandMadeStream(256, 64, 0x00), 3, 0, 0);
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_EQ(d.out, std::vector<uint8_t>(3, 0));
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
