// Prints the install folder as the add-in and the wrapper find it (the installer's record, else the
// default), in UTF-8 and without a line end, for the installer's tests.
#include <cstdio>
#include <string>

#include "platform/install_settings.h"

int main() {
  const std::string folder = rigwright::InstallFolder();
  const bool written = std::fwrite(folder.data(), 1, folder.size(), stdout) == folder.size();
  return written && std::fflush(stdout) == 0 ? 0 : 1;
}
