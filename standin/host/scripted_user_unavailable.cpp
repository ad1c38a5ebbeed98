// A build without the scripted user: automated runs are refused aloud rather than left waiting
// for a user who never comes.
#include <cstdio>
#include <cstdlib>

#include "standin/host/scripted_user.h"

namespace rigwright::standin {

void StartScriptedUser() {
  const char* script = std::getenv("RIGWRIGHT_UI_SCRIPT");
  if (script && *script) {
    std::fprintf(stderr, "RigwrightDevHost: this build plays no scripts; %s is not played\n",
                 script);
  }
}

}  // namespace rigwright::standin
