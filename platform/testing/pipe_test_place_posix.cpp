#include "common/testing/scoped_environment.h"
#include "common/testing/test_folder.h"
#include "platform/testing/pipe_test_place.h"

namespace rigwright {

struct PipeTestPlace::Setting {
  TestFolder runtime;
  ScopedEnvironment environment;
};

PipeTestPlace::PipeTestPlace()
    : setting_(std::make_unique<Setting>()),
      name_("\\\\.\\pipe\\0A1B2C3D0E0F1A2B3C4D5E6F708192A3") {
  setting_->environment.Set("XDG_RUNTIME_DIR", setting_->runtime.path().string());
}

PipeTestPlace::~PipeTestPlace() = default;

}  // namespace rigwright
