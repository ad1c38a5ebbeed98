// What the add-in's run command does: prepare the machine library folder, make the pipe link once
// per load, and start the wrapper program, or bring the running one to the front.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "addin/pipe_link.h"
#include "addin/stl_request_handler.h"
#include "addin/user_messages.h"

namespace rigwright {

// The wrapper program's name, without the system's ending for programs (see WrapperFileName).
inline constexpr char kWrapperName[] = "RigwrightWrapper";
// Folder pieces are written with '/' and joined in the system's spelling (NativeSeparators).
inline constexpr char kGenericMachinesFolder[] = "Generic Machines/";
inline constexpr char kWrapperLanguage[] = "en-US";

// The wrapper program's file name in the install folder: "RigwrightWrapper.exe" on Windows.
std::string WrapperFileName();

// The version the add-in reports to a host of version `hostVersion`: the host's own when it lies
// from 2400 to 2499, else 2400.
std::int32_t AddinVersionFor(std::int32_t hostVersion);

// The install folder from the system settings file, as stored; the default folder without one.
std::string ReadInstallFolder();

// The wrapper's arguments after its path, each piece with its quotes kept literally: language,
// machine folder, unit (0 metric, 1 inch) and pipe name.
std::vector<std::string> WrapperArguments(const LaunchValues& values, const std::string& pipeName,
                                          int unit);

// Raises the first top-level window of the wrapper's process; nothing without one.
void BringWrapperToFront(std::int64_t processId);

// What the launch needs from the host process it runs in.
class LaunchHost {
 public:
  virtual ~LaunchHost() = default;
  // True when the host works in metric units.
  virtual bool IsMetric() = 0;
  // A fresh handler for the wrapper about to start. UI thread.
  virtual std::shared_ptr<StlRequestHandler> MakeHandler() = 0;
  // Shows `text` and returns when the user has read it. UI thread.
  virtual void Tell(const std::string& text, MessageIcon icon) = 0;
  // Has `text` shown on the UI thread soon; returns at once. Any thread.
  virtual void TellLater(const std::string& text, MessageIcon icon) = 0;
};

// The add-in's launch state for one load: the pipe link, made by the first launch and kept
// until the launcher goes. Launches run on the UI thread.
class EditorLauncher {
 public:
  explicit EditorLauncher(LaunchHost& host) : host_(host) {}

  // The run command: every step from the install folder to the started wrapper. A wrapper that
  // still runs is brought to the front instead. Problems preparing the machine library are told
  // to the user and do not stop the start.
  void LaunchEditor();

  // Starts the wrapper from the link's captured values with a fresh handler in place. True when
  // the process was started; false also before the first launch has made the link.
  bool StartWrapper();

  // Null before the first launch.
  PipeLink* link() const { return link_.get(); }
  bool WrapperRunning() const;

 private:
  std::string PrepareMachineFolder(const std::string& installFolder);
  void MakeLinkOnce(LaunchValues values);

  LaunchHost& host_;
  std::string lastSeedingProblem_;  // told to the user already
  std::once_flag linkOnce_;
  std::unique_ptr<PipeLink> link_;
};

}  // namespace rigwright
