#include "addin/stl_picker_state.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace rigwright {

std::string FormatTolerance(double tolerance) {
  char text[64];
  std::snprintf(text, sizeof text, "%.4f", tolerance);
  return text;
}

int LevelColumnWidth(int widthArgument, int clientWidth, int widthsSoFar) {
  if (widthArgument < 0) {
    const long long percent = std::clamp(-static_cast<long long>(widthArgument), 1LL, 100LL);
    return static_cast<int>(clientWidth * percent / 100);
  }
  return std::clamp(clientWidth - widthsSoFar, 0, std::max(clientWidth, 0));
}

int FittedLastColumnWidth(int lastWidth, int clientWidth, int sumOfWidths) {
  // The list takes a negative width as "size to the contents"; a column squeezed out is 0 wide.
  return std::max(lastWidth + (clientWidth - sumOfWidths), 0);
}

void StlPickerState::BeginRequest(const LevelCatalogue& levels) {
  selectedIds_.clear();
  rows_.clear();
  rows_.reserve(levels.size());
  for (const auto& [number, name] : levels) rows_.push_back({number, name, false});
}

void StlPickerState::SetPick(std::vector<std::int32_t> ids) { selectedIds_ = std::move(ids); }

void StlPickerState::SetLevelChecked(std::size_t row, bool checked) {
  if (row < rows_.size()) rows_[row].checked = checked;
}

bool StlPickerState::ToleranceEnabled() const {
  return !selectedIds_.empty() ||
         std::any_of(rows_.begin(), rows_.end(), [](const StlLevelRow& row) { return row.checked; });
}

std::string StlPickerState::StatusText() const {
  if (selectedIds_.empty()) return {};
  return std::to_string(selectedIds_.size()) + " entities selected";
}

std::optional<std::string> StlPickerState::Accept(const PickerTexts& texts,
                                                  const std::string& stlFolder,
                                                  UserMessages& messages) const {
  StlAcceptInput input;
  input.toleranceText = texts.tolerance;
  input.nameText = texts.name;
  input.chosenFile = texts.chosenFile;
  input.pickedIds = selectedIds_;
  input.stlFolder = stlFolder;
  input.rows = rows_;
  StlAcceptResult result = BuildStlReply(input, messages);
  if (!result.close) return std::nullopt;
  return std::move(result.reply);
}

bool PickerRequestHandOff::Open() {
  std::lock_guard lock(mutex_);
  if (open_ || retired_) return false;
  open_ = true;
  reply_.clear();
  return true;
}

bool PickerRequestHandOff::Finish(std::string reply) {
  {
    std::lock_guard lock(mutex_);
    if (!open_) return false;
    open_ = false;
    reply_ = std::move(reply);
  }
  ended_.notify_all();
  return true;
}

std::string PickerRequestHandOff::Wait() {
  std::unique_lock lock(mutex_);
  ended_.wait(lock, [this] { return !open_; });
  return std::exchange(reply_, {});
}

void PickerRequestHandOff::Retire() {
  {
    std::lock_guard lock(mutex_);
    retired_ = true;
    open_ = false;
    reply_.clear();
  }
  ended_.notify_all();
}

bool PickerRequestHandOff::IsOpen() const {
  std::lock_guard lock(mutex_);
  return open_;
}

}  // namespace rigwright
