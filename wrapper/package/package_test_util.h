// Test support for package tests: the built-in public key, and plain access to payload bytes.
#pragma once

#include <cryptopp/rsa.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "wrapper/package/file_map.h"
#include "wrapper/package/package_reader.h"
#include "wrapper/package/package_writer.h"
#include "wrapper/package/signing_key.h"

namespace rigwright::testing {

inline Bytes ToBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

inline std::string ToText(std::span<const std::uint8_t> bytes) {
  return std::string(bytes.begin(), bytes.end());
}

inline const CryptoPP::RSAFunction& BuiltInPublicKey() {
  static const CryptoPP::RSAFunction key = [] {
    CryptoPP::RSAFunction k;
    std::string error;
    EXPECT_TRUE(LoadBuiltInPublicKey(k, &error)) << error;
    return k;
  }();
  return key;
}

inline Bytes Sign(const Bytes& payload) {
  std::string error;
  auto signer = PackageSigner::Create(&error);
  EXPECT_TRUE(signer) << error;
  return signer ? signer->Sign(payload) : Bytes{};
}

inline Bytes MakePackage(const FileMap& files) { return Sign(PackFiles(files)); }

inline std::span<const std::uint8_t> PayloadOf(const Bytes& package) {
  const std::uint32_t s = ReadUint32(&package[4]);
  return std::span<const std::uint8_t>(package).subspan(SignedPackage::kHeaderBytes + s);
}

// The content of a gzip member, inflated by zlib alone, which must read it whole.
inline Bytes InflatedPayload(std::span<const std::uint8_t> payload) {
  z_stream z{};
  EXPECT_EQ(inflateInit2(&z, 16 + 15), Z_OK);
  Bytes content(ReadUint32(&payload[payload.size() - 4]));
  z.next_in = const_cast<Bytef*>(payload.data());
  z.avail_in = static_cast<uInt>(payload.size());
  z.next_out = content.data();
  z.avail_out = static_cast<uInt>(content.size());
  EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END) << (z.msg ? z.msg : "");
  EXPECT_EQ(z.avail_in, 0u);
  inflateEnd(&z);
  return content;
}

inline Bytes ContentOf(const Bytes& package) { return InflatedPayload(PayloadOf(package)); }

// The fields of a record up to its data: L, n, the name and its NUL.
inline Bytes RecordHead(std::string_view name, std::uint64_t dataBytes) {
  Bytes head;
  AppendUint32(head,
               static_cast<std::uint32_t>(FileRecord::kOverheadBytes + name.size() + dataBytes));
  AppendUint32(head, static_cast<std::uint32_t>(name.size()));
  head.insert(head.end(), name.begin(), name.end());
  head.push_back(0);
  return head;
}

// Content given as pieces, each some bytes followed by a run of zeros.
struct ContentPiece {
  Bytes bytes;
  std::uint64_t zeros = 0;
};

// A gzip member of such content. Gigabytes cost little to make: every piece is compressed on its
// own up to a byte boundary (a sync flush), so one compressed stretch of zeros can be repeated.
inline Bytes GzipOfPieces(const std::vector<ContentPiece>& pieces) {
  constexpr std::size_t kRun = 16 << 20;
  const auto compress = [](std::span<const std::uint8_t> data) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&z, data.size()) + 64);
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_SYNC_FLUSH);
    out.resize(out.size() - z.avail_out);
    deflateEnd(&z);
    return out;
  };
  const Bytes zeros(kRun, 0);
  const Bytes run = compress(zeros);
  const auto crcOf = [](std::span<const std::uint8_t> content) {
    return crc32(0, content.data(), static_cast<uInt>(content.size()));
  };
  const uLong runCrc = crcOf(zeros);
  Bytes out = {0x1F, 0x8B, 0x08, 0, 0, 0, 0, 0, 0, 0};
  uLong crc = crc32(0, nullptr, 0);
  std::uint64_t length = 0;
  const auto add = [&](const Bytes& compressed, uLong contentCrc, std::size_t contentBytes) {
    out.insert(out.end(), compressed.begin(), compressed.end());
    crc = crc32_combine(crc, contentCrc, static_cast<z_off_t>(contentBytes));
    length += contentBytes;
  };
  for (const ContentPiece& piece : pieces) {
    add(compress(piece.bytes), crcOf(piece.bytes), piece.bytes.size());
    for (std::uint64_t left = piece.zeros; left > 0;) {
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, kRun));
      if (n == kRun) {
        add(run, runCrc, n);
      } else {
        add(compress({zeros.data(), n}), crcOf({zeros.data(), n}), n);
      }
      left -= n;
    }
  }
  out.insert(out.end(), {0x03, 0x00});  // an empty last block
  AppendUint32(out, static_cast<std::uint32_t>(crc));
  AppendUint32(out, static_cast<std::uint32_t>(length));  // modulo 2^32, as gzip states it
  return out;
}

inline std::string ReadTextFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace rigwright::testing
