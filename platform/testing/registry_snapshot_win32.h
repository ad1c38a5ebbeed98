// Test support on Windows: the product's settings key as it was before a test changed it, put
// back exactly (every value with its type and bytes; the key removed only when the test made it),
// so that tests run on a developer's machine leave an installed product's settings intact.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace rigwright::testing {

class RegistrySnapshot {
 public:
  // Records HKEY_LOCAL_MACHINE\`subKey` in the 64-bit view.
  explicit RegistrySnapshot(std::wstring subKey) : subKey_(std::move(subKey)) {
    HKEY key = nullptr;
    existed_ = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey_.c_str(), 0,
                               KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) == ERROR_SUCCESS;
    if (!existed_) return;
    for (DWORD index = 0;; ++index) {
      Value value;
      value.name.resize(16384);  // the longest value name the registry allows, and its zero
      DWORD nameLength = static_cast<DWORD>(value.name.size());
      DWORD size = 0;
      if (::RegEnumValueW(key, index, value.name.data(), &nameLength, nullptr, &value.type,
                          nullptr, &size) != ERROR_SUCCESS) {
        break;
      }
      value.name.resize(nameLength);
      value.data.resize(size);
      ::RegQueryValueExW(key, value.name.c_str(), nullptr, &value.type,
                         value.data.empty() ? nullptr : value.data.data(), &size);
      value.data.resize(size);
      values_.push_back(std::move(value));
    }
    ::RegCloseKey(key);
  }
  RegistrySnapshot(const RegistrySnapshot&) = delete;
  RegistrySnapshot& operator=(const RegistrySnapshot&) = delete;

  ~RegistrySnapshot() {
    if (!existed_) {
      // Made by the test: gone again (a key with subkeys of someone else's is left).
      ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, subKey_.c_str(), KEY_WOW64_64KEY, 0);
      return;
    }
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, subKey_.c_str(), 0, nullptr, 0,
                          KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key,
                          nullptr) != ERROR_SUCCESS) {
      return;
    }
    // Values the test added go; each value that was there gets its type and bytes back.
    std::vector<std::wstring> now;
    for (DWORD index = 0;; ++index) {
      std::wstring name(16384, L'\0');
      DWORD nameLength = static_cast<DWORD>(name.size());
      if (::RegEnumValueW(key, index, name.data(), &nameLength, nullptr, nullptr, nullptr,
                          nullptr) != ERROR_SUCCESS) {
        break;
      }
      now.push_back(name.substr(0, nameLength));
    }
    for (const std::wstring& name : now) ::RegDeleteValueW(key, name.c_str());
    for (const Value& value : values_) {
      ::RegSetValueExW(key, value.name.c_str(), 0, value.type, value.data.data(),
                       static_cast<DWORD>(value.data.size()));
    }
    ::RegCloseKey(key);
  }

 private:
  struct Value {
    std::wstring name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
  };

  std::wstring subKey_;
  bool existed_ = false;
  std::vector<Value> values_;
};

}  // namespace rigwright::testing
