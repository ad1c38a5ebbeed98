#include "standin/host/not_inherited_mode.h"

namespace rigwright::standin {

const char kNotInheritedMode[] = "N";

}  // namespace rigwright::standin
