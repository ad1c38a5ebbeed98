#include "common/machine_folder.h"

#include <array>
#include <filesystem>
#include <system_error>

#include "common/path_text.h"

namespace rigwright {
namespace {

constexpr std::array<std::string_view, 5> kSuiteParts = {
    "/Orvane 2026/", "/Orvane 2025/", "/Orvane 2024/", "/Orvane 2023/", "/Orvane 2022/"};
constexpr std::string_view kEditorPart = "Quennet/MachineCfg/";
constexpr std::string_view kDefaultPart = "/Kelmora/Rigwright/";

bool IsMachineFileExtension(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return false;
  const std::string_view extension = name.substr(dot);
  constexpr std::string_view kMachineExtension = ".mcfg";
  if (extension.size() != kMachineExtension.size()) return false;
  for (std::size_t i = 0; i < extension.size(); ++i) {
    char c = extension[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kMachineExtension[i]) return false;
  }
  return true;
}

}  // namespace

bool IsExistingFolder(std::string_view path) {
  std::error_code error;
  return std::filesystem::is_directory(PathFromUtf8(path), error) && !error;
}

bool HasMachineFiles(std::string_view folder) {
  std::error_code error;
  std::filesystem::directory_iterator it(PathFromUtf8(folder), error);
  for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
    std::error_code typeError;
    if (!it->is_regular_file(typeError) || typeError) continue;
    if (IsMachineFileExtension(Utf8FromPath(it->path().filename()))) return true;
  }
  return false;
}

std::string FindMachineFolder(std::string_view appDataFolder) {
  if (appDataFolder.empty()) return {};
  const std::string appData(appDataFolder);
  for (std::string_view suite : kSuiteParts) {
    std::string candidate = appData;
    candidate.append(suite).append(kEditorPart);
    if (IsExistingFolder(candidate) && HasMachineFiles(candidate)) return candidate;
  }
  std::string folder = appData;
  folder.append(kDefaultPart);
  if (!IsExistingFolder(folder)) {
    std::error_code ignored;  // a missing parent is not created; the path stands regardless
    std::filesystem::create_directory(PathFromUtf8(folder), ignored);
  }
  return folder;
}

}  // namespace rigwright
