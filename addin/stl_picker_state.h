// The STL picker without its windows: what a request starts with, which controls are enabled,
// what the status line says, the level list's column widths, what OK and Cancel do, and the
// hand-over of one request between the pipe link's thread and the UI thread. The wx dialog
// (stl_picker.h) shows this state and forwards the user's actions to it; tests drive it directly.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "addin/stl_generation.h"
#include "addin/stl_reply.h"
#include "addin/user_messages.h"

namespace rigwright {

// The tolerance field's text: "%.4f" of the value, so 0.1 reads "0.1000".
std::string FormatTolerance(double tolerance);

// What a new picker's tolerance field shows.
inline const std::string kInitialToleranceText = FormatTolerance(0.1);

// The width a new column of the level list gets when the list's client area is `clientWidth`
// pixels wide and the columns already there take `widthsSoFar`. A negative `widthArgument` is a
// percentage of the client width (limited to 1 to 100, truncated); zero or positive takes what
// is left, between 0 and the client width.
int LevelColumnWidth(int widthArgument, int clientWidth, int widthsSoFar);

// The last column's width after fitting the columns to the client width: widened (or narrowed)
// by the client width minus the sum of all column widths, and never below 0.
int FittedLastColumnWidth(int lastWidth, int clientWidth, int sumOfWidths);

// The level list's columns, left to right, with their width arguments for LevelColumnWidth.
struct LevelColumn {
  const char* title;
  int widthArgument;
};
inline constexpr LevelColumn kLevelColumns[] = {{"Select", -10}, {"Number", -14}, {"Name", 0}};

// The field texts the dialog hands over when the user presses OK (UTF-8).
struct PickerTexts {
  std::string tolerance;
  std::string name;
  std::string chosenFile;
};

// The picker's state between the user's actions. Lives on the UI thread only.
class StlPickerState {
 public:
  // A new request: one unchecked row per level, in catalogue order; no pick.
  void BeginRequest(const LevelCatalogue& levels);

  // The result of a pick in the host; replaces the previous pick (an empty one drops it).
  void SetPick(std::vector<std::int32_t> ids);

  // The user checked or unchecked a row. Rows out of range are ignored.
  void SetLevelChecked(std::size_t row, bool checked);

  // OK: runs the accept procedure on the picker's state and the field texts. The reply when the
  // request ends (possibly empty, if the user agreed to close without files); nothing when the
  // picker stays open.
  std::optional<std::string> Accept(const PickerTexts& texts, const std::string& stlFolder,
                                    UserMessages& messages) const;

  const std::vector<StlLevelRow>& rows() const { return rows_; }
  const std::vector<std::int32_t>& selectedIds() const { return selectedIds_; }

  bool LevelListEnabled() const { return !rows_.empty(); }
  // Tolerance matters only when something is to be generated: a pick or a checked level.
  bool ToleranceEnabled() const;
  // The name is for the picked geometry's file, so it is asked for only when there is a pick.
  bool NameEnabled() const { return !selectedIds_.empty(); }
  // "3 entities selected" after a pick of three; empty without a pick.
  std::string StatusText() const;

 private:
  std::vector<std::int32_t> selectedIds_;
  std::vector<StlLevelRow> rows_;  // row i of the level list
};

// The hand-over of one request between the thread that asks (the pipe link's server thread) and
// the UI thread that ends it. Thread-safe; at most one request is open at a time.
class PickerRequestHandOff {
 public:
  // Opens a request. False when one is already open or the picker has been retired.
  bool Open();

  // Ends the open request with `reply`. False (and nothing changes) when no request is open.
  bool Finish(std::string reply);

  // Blocks until the open request ends and returns its reply; empty at once when none is open.
  std::string Wait();

  // Ends any open request with an empty reply and refuses every later one: the picker is going
  // away, and no thread may be left waiting for it.
  void Retire();

  bool IsOpen() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable ended_;
  bool open_ = false;
  bool retired_ = false;
  std::string reply_;
};

}  // namespace rigwright
