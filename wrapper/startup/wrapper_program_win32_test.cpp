// RigwrightWrapper.exe as Windows sees the file: a GUI program that asks for no elevation, is
// DPI-aware and shows Rigwright's icon.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/text_win32.h"

namespace rigwright {
namespace {

// The resource types, by their numbers (the names windows.h gives them are 8-bit text here).
const LPCWSTR kManifest = MAKEINTRESOURCEW(24);
const LPCWSTR kIconGroup = MAKEINTRESOURCEW(14);

std::wstring WrapperPath() {
  std::wstring path = Utf16FromUtf8(RIGWRIGHT_WRAPPER_PROGRAM);
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path.starts_with(L"\\") ? L"Z:" + path : path;
}

class WrapperProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = ::LoadLibraryExW(WrapperPath().c_str(), nullptr,
                               LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module_, nullptr) << "error " << ::GetLastError();
  }
  void TearDown() override {
    if (module_) ::FreeLibrary(module_);
  }

  std::string Resource(LPCWSTR type, LPCWSTR name) const {
    const HRSRC found = ::FindResourceW(module_, name, type);
    if (!found) return {};
    const HGLOBAL loaded = ::LoadResource(module_, found);
    const char* data = static_cast<const char*>(::LockResource(loaded));
    return data ? std::string(data, ::SizeofResource(module_, found)) : std::string();
  }

  HMODULE module_ = nullptr;
};

TEST_F(WrapperProgramTest, ItIsAGuiProgramWhoseManifestAsksForNoElevationAndIsDpiAware) {
  const std::string manifest = Resource(kManifest, MAKEINTRESOURCEW(1));
  ASSERT_FALSE(manifest.empty()) << "no manifest for the process";
  EXPECT_NE(manifest.find(R"(requestedExecutionLevel level="asInvoker")"), std::string::npos);
  EXPECT_NE(manifest.find("<dpiAware"), std::string::npos);
  EXPECT_NE(manifest.find("PerMonitorV2"), std::string::npos);

  // The subsystem is in the file's optional header; the data-file mapping keeps the headers.
  const auto* base =
      reinterpret_cast<const BYTE*>(reinterpret_cast<ULONG_PTR>(module_) & ~ULONG_PTR{3});
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  ASSERT_EQ(dos->e_magic, IMAGE_DOS_SIGNATURE);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
  EXPECT_EQ(nt->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI) << "no console window";
}

BOOL CALLBACK TakeFirst(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR first) {
  auto* text = reinterpret_cast<std::wstring*>(first);
  *text = IS_INTRESOURCE(name) ? L"#" + std::to_wstring(reinterpret_cast<ULONG_PTR>(name)) : name;
  return FALSE;  // the first is the one Explorer shows
}

TEST_F(WrapperProgramTest, RigwrightsIconComesFirstInAllItsSizes) {
  std::wstring first;
  ::EnumResourceNamesW(module_, kIconGroup, &TakeFirst, reinterpret_cast<LONG_PTR>(&first));
  EXPECT_EQ(first, L"AAAA");
  const std::string group = Resource(kIconGroup, L"AAAA");
  ASSERT_GE(group.size(), 6u);
  EXPECT_EQ(static_cast<unsigned char>(group[4]), 3) << "16, 32 and 48 pixels";
}

}  // namespace
}  // namespace rigwright
