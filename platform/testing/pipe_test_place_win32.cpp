#include "platform/testing/peer_win32.h"
#include "platform/testing/pipe_test_place.h"

namespace rigwright {

struct PipeTestPlace::Setting {};

PipeTestPlace::PipeTestPlace() : name_(UniquePipeName()) {}

PipeTestPlace::~PipeTestPlace() = default;

}  // namespace rigwright
