#include "granny2/oodle1.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/platform.hpp"
#include "support/gr2_sections.hpp"
#include "support/sha256.hpp"

namespace {

const char* const kFiles[] = {"Caveman.gr2", "RockSlinger_proj_rock.gr2", "Scout_Mongol.gr2"};

std::string SharedFile(const std::string& name) {
  return platform::ToInternalPath(std::string(VINTREL_SHARED_TESTDATA) + "/gr2-oodle1/" + name);
}

struct RealFile {
  std::string bytes;
  std::vector<Gr2SectionSlice> sections;

  const uint8_t* Data(const Gr2SectionSlice& s) const {
    return reinterpret_cast<const uint8_t*>(bytes.data()) + s.dataOffset;
  }
};

RealFile LoadRealFile(const std::string& name) {
  RealFile file;
  EXPECT_TRUE(platform::ReadWholeFile(SharedFile(name), file.bytes)) << name;
  EXPECT_TRUE(ReadGr2Sections(file.bytes, &file.sections)) << name;
  return file;
}

// Decodes into a buffer of exactly the requested size, so that AddressSanitizer sees any overrun.
struct Decoded {
  bool ok = false;
  std::string error;
  std::vector<uint8_t> out;
};

Decoded Decode(const uint8_t* in, size_t inSize, size_t outSize, uint32_t stop0, uint32_t stop1) {
  Decoded d;
  d.out.assign(outSize, 0xAA);
  d.ok = Oodle1Decompress(in, inSize, d.out.data(), outSize, stop0, stop1, &d.error);
  return d;
}

// The largest real section, where the most decoder state is exercised.
struct BigSection {
  RealFile file;
  Gr2SectionSlice section;
  std::vector<uint8_t> compressed;
};

BigSection LoadBigSection() {
  BigSection big;
  big.file = LoadRealFile("RockSlinger_proj_rock.gr2");
  EXPECT_FALSE(big.file.sections.empty());
  if (big.file.sections.empty()) return big;
  big.section = big.file.sections[0];
  const uint8_t* data = big.file.Data(big.section);
  big.compressed.assign(data, data + big.section.compressedSize);
  return big;
}

// Three identical parameter blocks followed by a fill byte: enough to drive each refusal path.
std::vector<uint8_t> HandMadeStream(uint32_t literalLimit, uint8_t lengthCapacity, uint8_t fill) {
  std::vector<uint8_t> stream(36 + 64, fill);
  for (int i = 0; i < 3; ++i) {
    const uint32_t a = literalLimit | (4096u << 9);
    const uint32_t b = 256u | (1u << 19);
    for (int k = 0; k < 4; ++k) {
      stream[12 * i + k] = static_cast<uint8_t>(a >> (8 * k));
      stream[12 * i + 4 + k] = static_cast<uint8_t>(b >> (8 * k));
      stream[12 * i + 8 + k] = lengthCapacity;
    }
  }
  return stream;
}

}  // namespace

TEST(Oodle1, RealSectionsDecodeToKnownDigests) {
  std::string json;
  ASSERT_TRUE(platform::ReadWholeFile(SharedFile("expected.json"), json));
  const auto expected = nlohmann::json::parse(json);
  int decodedSections = 0;
  bool sawStopsAtZero = false;
  bool sawStopsAtEnd = false;
  for (const char* name : kFiles) {
    const RealFile file = LoadRealFile(name);
    const auto& want = expected.at(name).at("sections");
    ASSERT_EQ(file.sections.size(), want.size()) << name;
    for (size_t i = 0; i < file.sections.size(); ++i) {
      const Gr2SectionSlice& s = file.sections[i];
      SCOPED_TRACE(std::string(name) + " section " + std::to_string(i));
      ASSERT_EQ(s.compression, want[i].at("compression").get<uint32_t>());
      ASSERT_EQ(s.decompressedSize, want[i].at("decompressed_size").get<uint32_t>());
      ASSERT_EQ(s.first16bit, want[i].at("first16bit").get<uint32_t>());
      ASSERT_EQ(s.first8bit, want[i].at("first8bit").get<uint32_t>());
      const Decoded d = Decode(file.Data(s), s.compressedSize, s.decompressedSize, s.first16bit, s.first8bit);
      ASSERT_TRUE(d.ok) << d.error;
      EXPECT_EQ(Sha256Hex(d.out.data(), d.out.size()), want[i].at("sha256").get<std::string>());
      if (s.decompressedSize > 0) {
        ++decodedSections;
        sawStopsAtZero |= s.first16bit == 0 && s.first8bit == 0;
        sawStopsAtEnd |= s.first16bit == s.decompressedSize && s.first8bit == s.decompressedSize;
      }
    }
  }
  EXPECT_EQ(decodedSections, 12);
  // Empty first sub-streams and empty last sub-streams both occur in these files.
  EXPECT_TRUE(sawStopsAtZero);
  EXPECT_TRUE(sawStopsAtEnd);
}

TEST(Oodle1, EmptySectionsAndBadStops) {
  // Nothing compressed: the section is all zeros, whatever was in the buffer before.
  const uint8_t junk[4] = {1, 2, 3, 4};
  Decoded d = Decode(junk, 0, 100, 0, 0);
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_EQ(d.out, std::vector<uint8_t>(100, 0));
  // Nothing to produce: no output is touched, and a null output is fine.
  std::string error;
  EXPECT_TRUE(Oodle1Decompress(junk, sizeof junk, nullptr, 0, 0, 0, &error)) << error;

  const BigSection big = LoadBigSection();
  const size_t n = big.section.decompressedSize;
  const uint8_t* in = big.compressed.data();
  const size_t inSize = big.compressed.size();
  d = Decode(in, inSize, n, 10, 5);
  EXPECT_FALSE(d.ok);
  EXPECT_NE(d.error.find("stops"), std::string::npos) << d.error;
  d = Decode(in, inSize, n, 0, static_cast<uint32_t>(n + 1));
  EXPECT_FALSE(d.ok);
  d = Decode(in, 20, n, 0, 0);
  EXPECT_FALSE(d.ok);
  EXPECT_NE(d.error.find("header"), std::string::npos) << d.error;
  // Stops other than the file's own split the stream elsewhere: refused or garbage, never a crash.
  const uint32_t tries[][2] = {
      {0, 0}, {0, static_cast<uint32_t>(n)}, {static_cast<uint32_t>(n), static_cast<uint32_t>(n)}};
  for (const auto& stops : tries) {
    d = Decode(in, inSize, n, stops[0], stops[1]);
    if (!d.ok) {
      EXPECT_FALSE(d.error.empty());
    }
  }
}

TEST(Oodle1, EveryTruncationIsRefusedOrStaysInBounds) {
  const BigSection big = LoadBigSection();
  const size_t n = big.section.decompressedSize;
  size_t refused = 0;
  for (size_t cut = 1; cut < big.compressed.size(); ++cut) {
    // A copy of exactly the truncated length, so reading one byte further is caught.
    const std::vector<uint8_t> part(big.compressed.begin(), big.compressed.begin() + cut);
    const Decoded d = Decode(part.data(), part.size(), n, big.section.first16bit, big.section.first8bit);
    if (!d.ok) {
      ++refused;
      EXPECT_FALSE(d.error.empty()) << cut;
    }
    if (cut < 36) {
      EXPECT_FALSE(d.ok) << cut;
    }
    // Losing more than the read-ahead slack always leaves the decoder short of input.
    if (cut + 16 < big.compressed.size()) {
      EXPECT_FALSE(d.ok) << cut;
    }
  }
  EXPECT_GT(refused, big.compressed.size() - 20);
}

TEST(Oodle1, CorruptedBytesAreRefusedOrStayInBounds) {
  const BigSection big = LoadBigSection();
  const size_t n = big.section.decompressedSize;
  const std::string good = Sha256Hex(
      Decode(big.compressed.data(), big.compressed.size(), n, big.section.first16bit, big.section.first8bit)
          .out.data(),
      n);
  size_t changed = 0;
  std::vector<uint8_t> bad = big.compressed;
  for (size_t at = 0; at < bad.size(); ++at) {
    for (uint8_t mask : {0x01, 0x80, 0xFF}) {
      bad[at] ^= mask;
      const Decoded d = Decode(bad.data(), bad.size(), n, big.section.first16bit, big.section.first8bit);
      if (!d.ok) {
        EXPECT_FALSE(d.error.empty());
      }
      if (!d.ok || Sha256Hex(d.out.data(), n) != good) ++changed;
      bad[at] ^= mask;
    }
  }
  // Nearly every damaged byte must show up; a coder that ignored its input would pass none.
  EXPECT_GT(changed, bad.size() * 3 * 9 / 10);

  // Claiming a larger section than was compressed runs the coder dry.
  const Decoded longer = Decode(big.compressed.data(), big.compressed.size(), n + 4096,
                                big.section.first16bit, big.section.first8bit);
  EXPECT_FALSE(longer.ok);
}

TEST(Oodle1, HandMadeStreamsHitEachRefusal) {
  struct Case {
    uint32_t literalLimit;
    uint8_t lengthCapacity;
    uint8_t fill;
    const char* reason;
  };
  const Case cases[] = {
      {0, 64, 0x00, "empty range"},         // a literal is needed but no literal value is allowed
      {256, 0, 0x00, "capacity"},           // the length model may not learn a single value
      {256, 64, 0xFF, "before the start"},  // the first symbol is a 512-byte copy
      {256, 64, 0x00, "ends before"},       // endless zero literals outrun the input
  };
  for (const Case& c : cases) {
    const std::vector<uint8_t> stream = HandMadeStream(c.literalLimit, c.lengthCapacity, c.fill);
    const Decoded d = Decode(stream.data(), stream.size(), 1000, 0, 0);
    EXPECT_FALSE(d.ok) << c.reason;
    EXPECT_NE(d.error.find(c.reason), std::string::npos) << d.error;
  }
  // The same zero stream is fine when the section is short enough for its input.
  const std::vector<uint8_t> zeros = HandMadeStream(256, 64, 0x00);
  const Decoded d = Decode(zeros.data(), zeros.size(), 3, 0, 0);
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_EQ(d.out, std::vector<uint8_t>(3, 0));
}
