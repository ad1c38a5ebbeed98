// The add-in answers STL requests with the STL picker: one picker for each run of the wrapper.
#include <memory>

#include "addin/stl_picker.h"
#include "addin/stl_request_handler.h"

namespace rigwright {
namespace {

class PickerStlRequestHandler final : public StlRequestHandler {
 public:
  PickerStlRequestHandler() : picker_(std::make_unique<STLPicker>()) {}
  // Destroyed on the UI thread. The picker is deleted at once rather than through the toolkit's
  // deferred destruction, which could run after the add-in's code has been unloaded.
  ~PickerStlRequestHandler() override = default;

  std::string RequestStlPath() override { return picker_->RequestStlPath(); }
  void SetStlFolder(const std::string& folder) override { picker_->SetStlFolder(folder); }
  void CancelRequest() override { picker_->CancelRequest(); }

 private:
  std::unique_ptr<STLPicker> picker_;
};

}  // namespace

std::shared_ptr<StlRequestHandler> MakeStlRequestHandler() {
  return std::make_shared<PickerStlRequestHandler>();
}

}  // namespace rigwright
