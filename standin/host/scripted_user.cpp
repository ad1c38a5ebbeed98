#include "standin/host/scripted_user.h"

#include "standin/automation/ui_script.h"

namespace rigwright::standin {

void StartScriptedUser() { rigwright::automation::StartUiScriptFromEnvironment(); }

}  // namespace rigwright::standin
