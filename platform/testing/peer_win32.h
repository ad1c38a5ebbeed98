// Test support for the Windows platform tests: the peer program (testing/pipe_peer_win32.cpp),
// pipe names no other test uses, and files the peer writes.
#pragma once

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>

#include "common/pipe_protocol.h"

namespace rigwright {

// The peer's path as Windows knows it: under Wine, the build's Unix path lies on drive Z:.
inline std::string PeerProgram() {
  std::string path = RIGWRIGHT_PIPE_PEER;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path.starts_with("\\") ? "Z:" + path : path;
}

// Pipes are machine-wide and tests run side by side in several processes.
inline std::string UniquePipeName() {
  static std::atomic<int> counter{0};
  return std::string(kPipeNamePrefix) + "rigwright-test-" +
         std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++counter);
}

inline std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The content of `path` once the peer has written it, or nothing after ten seconds. The file
// may be seen before the peer has closed it, and then not be readable yet.
inline std::optional<std::string> AwaitFile(const std::filesystem::path& path) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    if (std::string text = ReadText(path); !text.empty()) return text;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return std::nullopt;
}

}  // namespace rigwright
