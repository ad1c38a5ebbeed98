// The add-in's handler of STL requests until the STL picker takes its place here: it answers
// every request at once with an empty reply, which the editor takes as "nothing chosen".
#include "addin/stl_request_handler.h"

namespace rigwright {
namespace {

class NothingChosenStlRequestHandler final : public StlRequestHandler {
 public:
  std::string RequestStlPath() override { return {}; }
  void SetStlFolder(const std::string&) override {}
  void CancelRequest() override {}
};

}  // namespace

std::shared_ptr<StlRequestHandler> MakeStlRequestHandler() {
  return std::make_shared<NothingChosenStlRequestHandler>();
}

}  // namespace rigwright
