// The content of a signed package: named files in byte-wise name order.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace rigwright {

using Bytes = std::vector<std::uint8_t>;

// Record name (UTF-8) to file content. std::string compares as unsigned bytes, so the map's order
// is the package's record order: "Mill.OrvaneSim" < "Mill.OrvaneSimCfg" < "config.json".
using FileMap = std::map<std::string, Bytes>;

// One record of a package's uncompressed content, as it is laid out:
//   u32 L = 9 + n + d | u32 n | name (n bytes) | NUL | data (d bytes)
// all integers little-endian.
struct FileRecord {
  static constexpr std::size_t kOverheadBytes = 9;  // L, n and the name's NUL
  // A name is a relative path, and no system takes a longer one: Windows' longest path is 32,767
  // UTF-16 units, at most 3 UTF-8 bytes each. Readers refuse longer names before holding them,
  // so a name cannot make a reader hold gigabytes before the signature is even checked.
  static constexpr std::size_t kMaxNameBytes = 128 * 1024;

  std::string name;
  Bytes data;
};

// The layout of every file Rigwright makes for the simulator:
//   u32 reserved = 0 | u32 S | u32 N | signature (S bytes) | payload (N bytes, one gzip member)
// The signature is RSASSA-PKCS1-v1_5 with SHA-1 over the N payload bytes.
struct SignedPackage {
  static constexpr std::size_t kHeaderBytes = 12;

  std::uint32_t reserved = 0;
  std::uint32_t signatureLength = 0;
  std::uint32_t payloadLength = 0;
};

inline void AppendUint32(Bytes& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

inline void WriteUint32(std::uint8_t* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

inline std::uint32_t ReadUint32(const std::uint8_t* at) {
  return std::uint32_t{at[0]} | std::uint32_t{at[1]} << 8 | std::uint32_t{at[2]} << 16 |
         std::uint32_t{at[3]} << 24;
}

}  // namespace rigwright
