// What the harnesses share: a check that stops the fuzzer with a message when an invariant fails,
// a private folder for harnesses that go through the file system, and a way to split one input
// into the parts a harness needs.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace rigwright::fuzz {

// Not assert(): the harnesses are built with NDEBUG, and a broken invariant must stop the run.
#define FUZZ_CHECK(condition)                                                                \
  do {                                                                                       \
    if (!(condition)) {                                                                      \
      std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                          \
    }                                                                                        \
  } while (0)

// A folder of this process under the temporary folder, made empty for each input and removed
// when the process ends. Only the folder itself lives on between inputs, never what is in it.
class PrivateFolder {
 public:
  PrivateFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "rigwright-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    path_ = pattern;
  }
  ~PrivateFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;

  // Removes everything inside the folder.
  void Clear() const {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(path_, ignored)) {
      std::filesystem::remove_all(entry.path(), ignored);
    }
  }
  const std::filesystem::path& path() const { return path_; }
  std::string text() const { return path_.string() + "/"; }

 private:
  std::filesystem::path path_;
};

// `input` cut at each occurrence of `separator`; always at least one part. Separators are plain
// text so that the dictionaries can offer them to the fuzzer.
inline std::vector<std::string_view> SplitInput(std::string_view input,
                                                std::string_view separator) {
  std::vector<std::string_view> parts;
  for (std::size_t at; (at = input.find(separator)) != std::string_view::npos;) {
    parts.push_back(input.substr(0, at));
    input.remove_prefix(at + separator.size());
  }
  parts.push_back(input);
  return parts;
}

}  // namespace rigwright::fuzz
