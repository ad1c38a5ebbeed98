#include <windows.h>

#include <gtest/gtest.h>

#include "wrapper/startup/engine_binding.h"

namespace rigwright {
namespace {

std::wstring DllDirectory() {
  wchar_t folder[MAX_PATH + 1] = {};
  const DWORD length = ::GetDllDirectoryW(MAX_PATH + 1, folder);
  return std::wstring(folder, length);
}

TEST(PrepareEngineSearchTest, TheInstallFolderJoinsTheSearchForTheEngineByName) {
  const std::vector<std::string> candidates =
      PrepareEngineSearch("D:\\R\xC3\xB8g w\xC5\x99ight/bin\\");

  EXPECT_EQ(DllDirectory(), L"D:\\R\u00f8g w\u0159ight\\bin\\") << "in the system's own form";
  EXPECT_EQ(candidates,
            (std::vector<std::string>{
                "MavriloDll.dll",
                "C:\\Program Files\\Orvane AS\\Orvane Rigwright for Mastercam\\MavriloDll.dll"}));
  ::SetDllDirectoryW(nullptr);
}

}  // namespace
}  // namespace rigwright
