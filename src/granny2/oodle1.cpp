#include "granny2/oodle1.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr size_t kHeaderSize = 36;
// The coder looks a little ahead of the last byte it needs; the encoder counted on zeros there.
constexpr size_t kReadSlack = 8;
constexpr uint32_t kModelRange = 0x4000;
constexpr uint32_t kLengthSymbols = 65;
constexpr uint32_t kBucketShift = 7;
constexpr uint32_t kBuckets = kModelRange >> kBucketShift;
constexpr uint32_t kDirectSearch = 8;

// Carries one refusal out of the decoding loops; the text is built only once, at the end.
enum class Fault {
  kNone,
  kInputEnded,
  kZeroFlatLimit,
  kModelFull,
  kModelEmpty,
  kBadRange,
  kBadDistance,
  kBadMidModel,
};

const char* FaultText(Fault fault) {
  switch (fault) {
    case Fault::kNone:
      return "no error";
    case Fault::kInputEnded:
      return "the compressed data ends before the section is complete (truncated or corrupted)";
    case Fault::kZeroFlatLimit:
      return "a value was coded against an empty range (corrupted parameters)";
    case Fault::kModelFull:
      return "a symbol model needs more entries than its capacity (corrupted data)";
    case Fault::kModelEmpty:
      return "a symbol model lost all its weight (corrupted data)";
    case Fault::kBadRange:
      return "a symbol fell outside its model's ranges (corrupted data)";
    case Fault::kBadDistance:
      return "a copy reaches before the start of the section (corrupted data)";
    case Fault::kBadMidModel:
      return "a distance selects a model that does not exist (corrupted data)";
  }
  return "unknown error";
}

struct RangeDecoder {
  const uint8_t* in = nullptr;
  size_t inSize = 0;
  size_t pos = 0;
  uint32_t value = 0;
  uint32_t range = 0;
  uint32_t divisor = 0;

  // The stream is read one bit out of phase with the byte boundaries.
  bool Fill() {
    while (range <= 0x800000u) {
      uint32_t b0;
      uint32_t b1;
      if (pos + 1 < inSize) {
        b0 = in[pos];
        b1 = in[pos + 1];
      } else {
        if (pos + 1 >= inSize + kReadSlack) return false;
        b0 = pos < inSize ? in[pos] : 0;
        b1 = 0;
      }
      value = (value << 8) | ((b0 << 7) & 0x80u) | ((b1 >> 1) & 0x7Fu);
      ++pos;
      range <<= 8;
    }
    return true;
  }

  void Take(uint32_t total, uint32_t start, uint32_t width) {
    value -= divisor * start;
    if (start + width < total) {
      range = divisor * width;
    } else {
      range -= divisor * start;
    }
  }

  // A value below limit with every outcome equally likely.
  Fault Flat(uint32_t limit, uint32_t* out) {
    limit &= 0xFFFFu;
    if (limit == 0) return Fault::kZeroFlatLimit;
    if (!Fill()) return Fault::kInputEnded;
    divisor = range / limit;
    uint32_t x = std::min(value / divisor, limit - 1);
    Take(limit, x, 1);
    *out = x;
    return Fault::kNone;
  }
};

// Adaptive frequency model. All counters are 16-bit by definition of the format.
struct Model {
  uint16_t total = 0;
  uint16_t next = 0;
  uint16_t step = 0;
  uint16_t limit = 0;
  uint16_t stepCap = 0;
  uint16_t cap = 0;
  uint16_t count = 0;       // entries in the list
  uint16_t rangeCount = 0;  // entries that had a range when the ranges were last built
  uint32_t generation = 0;  // lets lazily used models be reset without touching them
  std::vector<uint16_t> storage;
  uint16_t* weight = nullptr;
  uint16_t* value = nullptr;
  uint16_t* start = nullptr;  // rangeCount starts followed by kModelRange
  uint16_t bucket[kBuckets];  // per bucket of x, the last entry starting at or before it

  void Init(uint32_t valueLimit, uint32_t capacity) {
    cap = static_cast<uint16_t>(capacity + 1);
    uint32_t lim = std::max<uint32_t>(256, std::min<uint32_t>(32u * valueLimit, 15160));
    limit = static_cast<uint16_t>(lim);
    uint32_t sc = valueLimit > 64 ? std::min<uint32_t>(2u * valueLimit, lim / 2 - 32) : 128;
    stepCap = static_cast<uint16_t>(sc);
    size_t slots = static_cast<size_t>(cap) + 1;
    if (storage.size() < 3 * slots) storage.resize(3 * slots);
    weight = storage.data();
    value = weight + slots;
    start = value + slots;
    count = 1;
    weight[0] = 4;
    value[0] = 0;
    rangeCount = 1;
    start[0] = 0;
    start[1] = kModelRange;
    total = 4;
    step = 4;
    next = 8;
  }

  void RebuildWeights() {
    uint32_t sum = 0;
    for (uint32_t i = 0; i < count; ++i) {
      weight[i] = static_cast<uint16_t>(weight[i] / 2);
      sum += weight[i];
    }
    total = static_cast<uint16_t>(sum);
    for (uint32_t i = 1; i < count; ++i) {
      while (i < count && weight[i] == 0) {
        --count;
        weight[i] = weight[count];
        value[i] = value[count];
      }
    }
    if (count > 1) {
      uint32_t best = 1;
      for (uint32_t i = 2; i < count; ++i) {
        if (weight[i] > weight[best]) best = i;
      }
      std::swap(weight[best], weight[count - 1]);
      std::swap(value[best], value[count - 1]);
    }
    if (count < cap && weight[0] == 0) {
      weight[0] = 1;
      ++total;
    }
  }

  bool RebuildRanges() {
    if (total == 0) return false;
    uint32_t unit = (8 * kModelRange) / total;
    uint32_t at = 0;
    for (uint32_t i = 0; i < count; ++i) {
      start[i] = static_cast<uint16_t>(at);
      at += (weight[i] * unit) / 8;
    }
    start[count] = kModelRange;
    rangeCount = count;
    if (rangeCount > kDirectSearch) {
      uint32_t i = 0;
      for (uint32_t k = 0; k < kBuckets; ++k) {
        const uint32_t first = k << kBucketShift;
        while (i + 1 < rangeCount && start[i + 1] <= first) ++i;
        bucket[k] = static_cast<uint16_t>(i);
      }
    }
    if (step > stepCap / 2) {
      next = static_cast<uint16_t>(total + stepCap);
    } else {
      step = static_cast<uint16_t>(step * 2);
      next = static_cast<uint16_t>(total + step);
    }
    return true;
  }

  // The last entry whose range start is <= x; zero-width ranges are passed over. Large models
  // start from a per-bucket hint, which keeps the search a step or two long.
  uint32_t Find(uint32_t x) const {
    uint32_t i = rangeCount > kDirectSearch ? bucket[x >> kBucketShift] : 0;
    while (i + 1 < rangeCount && start[i + 1] <= x) ++i;
    return i;
  }

  Fault Decode(RangeDecoder& rc, uint32_t flatLimit, uint32_t* symbol) {
    if (total >= next) {
      if (next >= limit) RebuildWeights();
      if (!RebuildRanges()) return Fault::kModelEmpty;
    }
    if (!rc.Fill()) return Fault::kInputEnded;
    rc.divisor = rc.range >> 14;
    uint32_t x = std::min(rc.value / rc.divisor, kModelRange - 1);
    uint32_t i = Find(x);
    uint32_t lo = start[i];
    uint32_t hi = start[i + 1];
    if (lo > x || hi <= x) return Fault::kBadRange;
    rc.Take(kModelRange, lo, hi - lo);
    ++weight[i];
    ++total;
    if (i > 0) {
      *symbol = value[i];
      return Fault::kNone;
    }
    if (count > rangeCount) {
      uint32_t known = 0;
      if (Fault f = rc.Flat(2, &known); f != Fault::kNone) return f;
      if (known == 1) {
        uint32_t j = 0;
        if (Fault f = rc.Flat(count - rangeCount, &j); f != Fault::kNone) return f;
        j += rangeCount;
        weight[j] = static_cast<uint16_t>(weight[j] + 2);
        total = static_cast<uint16_t>(total + 2);
        *symbol = value[j];
        return Fault::kNone;
      }
    }
    if (count >= cap) return Fault::kModelFull;
    uint32_t added = count++;
    weight[added] = 2;
    total = static_cast<uint16_t>(total + 2);
    if (count == cap) {
      total = static_cast<uint16_t>(total - weight[0]);
      weight[0] = 0;
    }
    uint32_t v = 0;
    if (Fault f = rc.Flat(flatLimit, &v); f != Fault::kNone) return f;
    value[added] = static_cast<uint16_t>(v);
    *symbol = v;
    return Fault::kNone;
  }
};

uint32_t ReadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

class Decoder {
 public:
  Decoder(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize)
      : in_(in), out_(out), outSize_(outSize) {
    rc_.in = in;
    rc_.inSize = inSize;
    rc_.pos = kHeaderSize;
    rc_.value = (inSize > kHeaderSize ? in[kHeaderSize] : 0) >> 1;
    rc_.range = 0x80;
  }

  Fault Run(const size_t (&stops)[3]) {
    for (int i = 0; i < 3; ++i) {
      if (Fault f = SubStream(in_ + 12 * i, stops[i]); f != Fault::kNone) return f;
    }
    return Fault::kNone;
  }

  size_t Position() const { return pos_; }

 private:
  Fault SubStream(const uint8_t* block, size_t stop) {
    if (pos_ >= stop) return Fault::kNone;
    uint32_t a32 = ReadU32(block);
    uint32_t b32 = ReadU32(block + 4);
    const uint8_t* z = block + 8;
    uint32_t literalLimit = a32 & 0x1FF;
    uint32_t window = a32 >> 9;
    uint32_t literalCap = b32 & 0x1FF;
    uint32_t highCap = (b32 >> 19) + 1;
    uint32_t lowCount = std::min<uint32_t>(window + 1, 4);
    uint32_t midCount = std::min<uint32_t>(window / 4 + 1, 256);
    uint32_t highCount = window / 1024 + 1;

    ++generation_;
    low_.Init(lowCount - 1, lowCount);
    high_.Init(highCount - 1, highCap);
    if (mid_.size() < highCount) mid_.resize(highCount);
    for (Model& m : literal_) m.Init(literalLimit - 1, literalCap);
    for (uint32_t i = 0; i < kLengthSymbols; ++i) {
      length_[i].Init(64, i < 64 ? z[3 - i / 16] : z[0]);
    }

    size_t done = 0;
    uint32_t prev = 0;
    while (pos_ < stop) {
      if (Fault f = length_[prev].Decode(rc_, kLengthSymbols, &prev); f != Fault::kNone) return f;
      if (prev == 0) {
        uint32_t lit = 0;
        if (Fault f = literal_[pos_ & 3].Decode(rc_, literalLimit, &lit); f != Fault::kNone) return f;
        out_[pos_] = static_cast<uint8_t>(lit);
        ++pos_;
        ++done;
        continue;
      }
      size_t n = prev < 61 ? prev + 1 : kLongCopies[prev - 61];
      uint32_t w = static_cast<uint32_t>(std::min<size_t>(window, done));
      uint32_t d0 = 0;
      uint32_t d1 = 0;
      uint32_t d2 = 0;
      if (Fault f = low_.Decode(rc_, lowCount, &d0); f != Fault::kNone) return f;
      if (Fault f = high_.Decode(rc_, w / 1024 + 1, &d2); f != Fault::kNone) return f;
      if (d2 >= highCount) return Fault::kBadMidModel;
      Model& mid = mid_[d2];
      if (mid.generation != generation_) {
        mid.Init(midCount - 1, midCount);
        mid.generation = generation_;
      }
      if (Fault f = mid.Decode(rc_, std::min<uint32_t>(w / 4 + 1, 256), &d1); f != Fault::kNone) return f;
      size_t distance = static_cast<size_t>(d2) * 1024 + d1 * 4 + d0 + 1;
      if (distance > pos_) return Fault::kBadDistance;
      // Bytes a copy would put past the end are never read again, so they are simply dropped.
      size_t end = std::min(pos_ + n, outSize_);
      uint8_t* dst = out_ + pos_;
      const uint8_t* src = dst - distance;
      size_t todo = end > pos_ ? end - pos_ : 0;
      if (distance >= todo) {
        std::memcpy(dst, src, todo);
      } else {
        for (size_t k = 0; k < todo; ++k) dst[k] = src[k];
      }
      pos_ += n;
      done += n;
    }
    return Fault::kNone;
  }

  static constexpr size_t kLongCopies[4] = {128, 192, 256, 512};

  const uint8_t* in_;
  uint8_t* out_;
  size_t outSize_;
  size_t pos_ = 0;
  uint32_t generation_ = 0;
  RangeDecoder rc_;
  Model low_;
  Model high_;
  std::vector<Model> mid_;
  Model literal_[4];
  Model length_[kLengthSymbols];
};

}  // namespace

bool Oodle1Decompress(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize, uint32_t stop0,
                      uint32_t stop1, std::string* error) {
  auto fail = [error](const std::string& text) {
    if (error) *error = "Oodle1: " + text;
    return false;
  };
  if (outSize == 0) return true;
  if (out == nullptr) return fail("no output buffer");
  if (inSize == 0) {
    std::memset(out, 0, outSize);
    return true;
  }
  if (in == nullptr) return fail("no input buffer");
  if (stop0 > stop1 || stop1 > outSize) {
    return fail("sub-stream stops " + std::to_string(stop0) + ", " + std::to_string(stop1) +
                " do not fit a section of " + std::to_string(outSize) + " bytes");
  }
  if (inSize < kHeaderSize) {
    return fail("compressed data of " + std::to_string(inSize) + " bytes is shorter than its header");
  }
  Decoder decoder(in, inSize, out, outSize);
  const size_t stops[3] = {stop0, stop1, outSize};
  Fault fault = decoder.Run(stops);
  if (fault != Fault::kNone) {
    return fail(std::string(FaultText(fault)) + " at output byte " + std::to_string(decoder.Position()) +
                " of " + std::to_string(outSize));
  }
  return true;
}
