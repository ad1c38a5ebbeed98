// Who answers the editor's requests for component solids. The pipe link hands every STL request
// and every working-folder message of the wrapper to the handler of the current wrapper run.
//
// Threads: a handler is made and destroyed on the host's UI thread. The pipe link's server thread
// calls RequestStlPath and SetStlFolder, one call at a time; CancelRequest may come from any
// thread, also while RequestStlPath waits.
#pragma once

#include <memory>
#include <string>

namespace rigwright {

class StlRequestHandler {
 public:
  virtual ~StlRequestHandler() = default;

  // One STL request: blocks until the user has ended it and returns the STL reply (UTF-8,
  // entries joined by ";"); empty when nothing was chosen.
  virtual std::string RequestStlPath() = 0;

  // The wrapper's working folder (UTF-8, ending in a separator), in front of generated file
  // names. Comes between requests.
  virtual void SetStlFolder(const std::string& folder) = 0;

  // Ends a request that is waiting for the user with an empty reply; nothing when none waits.
  // Lets the link stop waiting for a wrapper that has ended or for an add-in being unloaded.
  virtual void CancelRequest() = 0;
};

// A fresh handler for one run of the wrapper. UI thread only.
std::shared_ptr<StlRequestHandler> MakeStlRequestHandler();

}  // namespace rigwright
