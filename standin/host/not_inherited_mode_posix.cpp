#include "standin/host/not_inherited_mode.h"

namespace rigwright::standin {

const char kNotInheritedMode[] = "e";

}  // namespace rigwright::standin
