// Finding the last block of raw deflate data (RFC 1951) without inflating it: the block headers
// and Huffman symbols are decoded, but no byte of content is produced or copied.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace rigwright {

struct FinalBlock {
  std::size_t headerByte = 0;  // the final block's header begins in this byte,
  unsigned headerBit = 0;      // at this bit (0 is the lowest); it is the block's BFINAL bit
  unsigned paddingBits = 0;    // zero bits after the block's end that fill up the last byte
};

// Walks `deflate`, which must be one whole deflate stream that ends in its last byte and
// decompresses to `contentBytes` bytes. Nothing when it is not.
std::optional<FinalBlock> FindFinalBlock(std::span<const std::uint8_t> deflate,
                                         std::uint64_t contentBytes);

}  // namespace rigwright
