#include "wrapper/package/deflate_blocks.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace rigwright {
namespace {

static_assert(std::endian::native == std::endian::little, "the bit reader loads words as they lie");

constexpr unsigned kMaxCodeBits = 15;
constexpr unsigned kLengthSymbols = 286;  // 0-255 literals, 256 end of block, 257-285 lengths
constexpr unsigned kDistanceSymbols = 30;

constexpr std::uint8_t kLengthExtraBits[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                               2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10,  11,  13,
                                           15, 17, 19, 23, 27, 31, 35, 43,  51,  59,
                                           67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::uint8_t kDistanceExtraBits[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5, 6,
                                                 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// Reads bits from the lowest up, as deflate packs them. Past the end it reads zeros; the caller
// checks where it stopped.
class BitReader {
 public:
  explicit BitReader(std::span<const std::uint8_t> data) : data_(data) {}

  // After this at least 56 bits can be taken.
  void Refill() {
    if (next_ + 8 <= data_.size()) {
      std::uint64_t word;
      std::memcpy(&word, data_.data() + next_, 8);
      bits_ |= word << held_;
      next_ += (63 - held_) >> 3;
      held_ |= 56;
      return;
    }
    while (held_ <= 56) {
      const std::uint64_t byte = next_ < data_.size() ? data_[next_] : 0;
      bits_ |= byte << held_;
      ++next_;
      held_ += 8;
    }
  }
  unsigned Peek(unsigned count) const {
    return static_cast<unsigned>(bits_ & ((std::uint64_t{1} << count) - 1));
  }
  unsigned Take(unsigned count) {
    const unsigned value = Peek(count);
    bits_ >>= count;
    held_ -= count;
    return value;
  }
  unsigned Held() const { return held_; }
  std::uint64_t Position() const { return std::uint64_t{next_} * 8 - held_; }
  bool Overran() const { return Position() > std::uint64_t{data_.size()} * 8; }
  // Goes on at byte `at`, dropping what was held.
  void SkipTo(std::size_t at) {
    next_ = at;
    bits_ = 0;
    held_ = 0;
  }

 private:
  std::span<const std::uint8_t> data_;
  std::size_t next_ = 0;  // the next byte to load
  std::uint64_t bits_ = 0;
  unsigned held_ = 0;
};

// A canonical Huffman code: a table for codes of up to kTableBits bits, and a walk over the code
// lengths for the longer ones.
class Huffman {
 public:
  static constexpr unsigned kTableBits = 10;

  bool Build(const std::uint8_t* lengths, unsigned symbols) {
    count_.fill(0);
    for (unsigned s = 0; s < symbols; ++s) ++count_[lengths[s]];
    count_[0] = 0;
    int left = 1;
    for (unsigned length = 1; length <= kMaxCodeBits; ++length) {
      left = 2 * left - count_[length];
      if (left < 0) return false;  // more codes than the lengths allow
    }
    std::array<std::uint16_t, kMaxCodeBits + 2> offset{};
    std::array<unsigned, kMaxCodeBits + 1> code{};
    for (unsigned length = 1; length <= kMaxCodeBits; ++length) {
      offset[length + 1] = static_cast<std::uint16_t>(offset[length] + count_[length]);
      code[length] = (code[length - 1] + count_[length - 1]) << 1;
    }
    table_.fill(0);
    for (unsigned s = 0; s < symbols; ++s) {
      const unsigned length = lengths[s];
      if (length == 0) continue;
      sorted_[offset[length]++] = static_cast<std::uint16_t>(s);
      // Codes are stored from their highest bit first: the table is indexed by them reversed.
      const unsigned reversed = Reverse(code[length]++, length);
      if (length > kTableBits) continue;
      for (unsigned i = reversed; i < table_.size(); i += 1u << length) {
        table_[i] = static_cast<std::uint16_t>(s << 4 | length);
      }
    }
    return true;
  }

  // The next symbol, or -1 for a code the lengths do not give. The reader holds 15 bits at least.
  int Decode(BitReader& in) const {
    const unsigned entry = table_[in.Peek(kTableBits)];
    if (entry != 0) {
      in.Take(entry & 15);
      return static_cast<int>(entry >> 4);
    }
    int code = 0, first = 0, index = 0;
    for (unsigned length = 1; length <= kMaxCodeBits; ++length) {
      code |= static_cast<int>(in.Take(1));
      const int count = count_[length];
      if (code - count < first) return sorted_[index + (code - first)];
      index += count;
      first = (first + count) << 1;
      code <<= 1;
    }
    return -1;
  }

 private:
  static unsigned Reverse(unsigned code, unsigned length) {
    unsigned reversed = 0;
    for (unsigned i = 0; i < length; ++i, code >>= 1) reversed = reversed << 1 | (code & 1);
    return reversed;
  }

  std::array<std::uint16_t, 1u << kTableBits> table_{};  // symbol << 4 | code length; 0: longer
  std::array<std::uint16_t, kMaxCodeBits + 1> count_{};
  std::array<std::uint16_t, 288> sorted_{};
};

// Reads the code lengths of a dynamic block's two codes.
bool ReadDynamicCodes(BitReader& in, Huffman& lengthCode, Huffman& distanceCode) {
  static constexpr std::uint8_t kOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                              11, 4,  12, 3, 13, 2, 14, 1, 15};
  in.Refill();
  const unsigned lengths = in.Take(5) + 257;
  const unsigned distances = in.Take(5) + 1;
  const unsigned codeLengths = in.Take(4) + 4;
  if (lengths > kLengthSymbols || distances > kDistanceSymbols) return false;
  std::array<std::uint8_t, 19> order{};
  for (unsigned i = 0; i < codeLengths; ++i) {
    in.Refill();
    order[kOrder[i]] = static_cast<std::uint8_t>(in.Take(3));
  }
  Huffman codeLengthCode;
  if (!codeLengthCode.Build(order.data(), 19)) return false;
  std::array<std::uint8_t, kLengthSymbols + kDistanceSymbols> all{};
  for (unsigned i = 0; i < lengths + distances;) {
    in.Refill();
    const int symbol = codeLengthCode.Decode(in);
    unsigned repeat = 1, value = 0;
    if (symbol < 0) return false;
    if (symbol < 16) {
      value = static_cast<unsigned>(symbol);
    } else if (symbol == 16) {
      if (i == 0) return false;
      value = all[i - 1];
      repeat = 3 + in.Take(2);
    } else {
      repeat = symbol == 17 ? 3 + in.Take(3) : 11 + in.Take(7);
    }
    if (i + repeat > lengths + distances) return false;
    while (repeat-- > 0) all[i++] = static_cast<std::uint8_t>(value);
  }
  return all[256] != 0 && lengthCode.Build(all.data(), lengths) &&
         distanceCode.Build(all.data() + lengths, distances);
}

bool BuildFixedCodes(Huffman& lengthCode, Huffman& distanceCode) {
  std::array<std::uint8_t, 288> lengths{};
  std::fill(lengths.begin(), lengths.begin() + 144, 8);
  std::fill(lengths.begin() + 144, lengths.begin() + 256, 9);
  std::fill(lengths.begin() + 256, lengths.begin() + 280, 7);
  std::fill(lengths.begin() + 280, lengths.end(), 8);
  std::array<std::uint8_t, kDistanceSymbols> distances{};
  distances.fill(5);
  return lengthCode.Build(lengths.data(), 288) &&
         distanceCode.Build(distances.data(), kDistanceSymbols);
}

// Walks the symbols of a Huffman-coded block up to its end, adding up its content bytes. Most
// symbols are literals: the reader is refilled only when the next code might not be held whole.
bool SkipSymbols(BitReader& in, const Huffman& lengthCode, const Huffman& distanceCode,
                 std::uint64_t& content) {
  for (;;) {
    if (in.Held() < kMaxCodeBits) {
      in.Refill();
      if (in.Overran()) return false;
    }
    const int symbol = lengthCode.Decode(in);
    if (symbol < 256) {
      if (symbol < 0) return false;
      ++content;
      continue;
    }
    if (symbol == 256) return true;
    const unsigned index = static_cast<unsigned>(symbol) - 257;
    if (index >= 29) return false;
    // Length extra bits, distance code and its extra bits: 33 bits at most.
    if (in.Held() < 33) in.Refill();
    content += kLengthBase[index] + in.Take(kLengthExtraBits[index]);
    const int distance = distanceCode.Decode(in);
    if (distance < 0 || distance >= static_cast<int>(kDistanceSymbols)) return false;
    in.Take(kDistanceExtraBits[distance]);
  }
}

}  // namespace

std::optional<FinalBlock> FindFinalBlock(std::span<const std::uint8_t> deflate,
                                         std::uint64_t contentBytes) {
  BitReader in(deflate);
  Huffman lengthCode, distanceCode;
  std::uint64_t content = 0;
  for (;;) {
    in.Refill();
    const std::uint64_t header = in.Position();
    const bool final = in.Take(1) != 0;
    const unsigned type = in.Take(2);
    if (type == 0) {
      // Stored: the rest of the byte is skipped, then LEN and its complement, then LEN bytes.
      const std::size_t at = static_cast<std::size_t>((in.Position() + 7) / 8);
      if (at + 4 > deflate.size()) return std::nullopt;
      const unsigned length = deflate[at] | deflate[at + 1] << 8;
      if ((length ^ (deflate[at + 2] | deflate[at + 3] << 8)) != 0xFFFF) return std::nullopt;
      if (length > deflate.size() - at - 4) return std::nullopt;
      content += length;
      in.SkipTo(at + 4 + length);
    } else if (type == 3) {
      return std::nullopt;
    } else if (!(type == 1 ? BuildFixedCodes(lengthCode, distanceCode)
                           : ReadDynamicCodes(in, lengthCode, distanceCode)) ||
               !SkipSymbols(in, lengthCode, distanceCode, content)) {
      return std::nullopt;
    }
    if (in.Overran()) return std::nullopt;
    if (!final) continue;
    const std::uint64_t end = in.Position();
    if ((end + 7) / 8 != deflate.size() || content != contentBytes) return std::nullopt;
    return FinalBlock{static_cast<std::size_t>(header / 8), static_cast<unsigned>(header % 8),
                      static_cast<unsigned>((8 - end % 8) % 8)};
  }
}

}  // namespace rigwright
