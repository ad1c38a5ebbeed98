// The add-in answers STL requests with the STL picker: one picker for each run of the wrapper.
#include <memory>
#include <mutex>
#include <utility>

#include "addin/stl_picker.h"
#include "addin/stl_request_handler.h"

namespace rigwright {
namespace {

// The picker is a top-level window, and the toolkit deletes every such window when it ends. A
// host may end its toolkit and then the process with the add-in still loaded, so that this
// handler goes only among the exit handlers: it must then neither delete the picker again nor
// touch it. The picker tells the handler when it goes, and from then on every request gets an
// empty reply.
class PickerStlRequestHandler final : public StlRequestHandler {
 public:
  PickerStlRequestHandler() : picker_(new STLPicker) {
    picker_->SetDestroyedCallback([this] {
      std::lock_guard lock(mutex_);
      picker_ = nullptr;
    });
  }
  // Destroyed on the UI thread. The picker is deleted at once rather than through the toolkit's
  // deferred destruction, which could run after the add-in's code has been unloaded.
  ~PickerStlRequestHandler() override {
    STLPicker* picker;
    {
      std::lock_guard lock(mutex_);
      picker = std::exchange(picker_, nullptr);
    }
    delete picker;
  }

  PickerStlRequestHandler(const PickerStlRequestHandler&) = delete;
  PickerStlRequestHandler& operator=(const PickerStlRequestHandler&) = delete;

  std::string RequestStlPath() override {
    std::shared_ptr<PickerRequestHandOff> request;
    {
      // The picker cannot go while the request is opened; the wait needs no picker.
      std::lock_guard lock(mutex_);
      if (picker_) request = picker_->OpenRequest();
    }
    return request ? request->Wait() : std::string();
  }

  void SetStlFolder(const std::string& folder) override {
    std::lock_guard lock(mutex_);
    if (picker_) picker_->SetStlFolder(folder);
  }

  void CancelRequest() override {
    std::lock_guard lock(mutex_);
    if (picker_) picker_->CancelRequest();
  }

 private:
  std::mutex mutex_;
  STLPicker* picker_;  // null once the picker has gone; guarded
};

}  // namespace

std::shared_ptr<StlRequestHandler> MakeStlRequestHandler() {
  return std::make_shared<PickerStlRequestHandler>();
}

}  // namespace rigwright
