// The test's feature-control store: HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER
// of this process redirected to keys below a key of the test's own.
#include <windows.h>

#include <string>

#include "platform/feature_control.h"
#include "platform/utf8.h"
#include "shell/feature_store.h"

namespace test_support {
namespace {

std::wstring TestKeyPath() {
  return L"Software\\QuilloryTest\\" + std::to_wstring(GetCurrentProcessId());
}

// Creates the key `name` below the test key; a volatile key refuses every
// lasting key below it.
HKEY CreateTestKey(const std::wstring& name, DWORD options) {
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_CURRENT_USER, (TestKeyPath() + L"\\" + name).c_str(), 0, nullptr, options,
                  KEY_ALL_ACCESS, nullptr, &key, nullptr);
  return key;
}

void RedirectRoots(DWORD options) {
  RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
  RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  const std::wstring suffix = options == REG_OPTION_VOLATILE ? L"-refusing" : L"";
  HKEY machine = CreateTestKey(L"machine" + suffix, options);
  HKEY user = CreateTestKey(L"user" + suffix, options);
  RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine);
  RegOverridePredefKey(HKEY_CURRENT_USER, user);
  RegCloseKey(machine);
  RegCloseKey(user);
}

// The values of one feature key, in the order the registry lists them.
std::string ValuesText(HKEY feature) {
  std::string text;
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD name_length = 256;
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof data;
    if (RegEnumValueW(feature, index, name, &name_length, nullptr, &type,
                      reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS) {
      return text;
    }
    const std::string value = type == REG_DWORD ? std::to_string(data) : "(not a DWORD)";
    text += platform::Utf8Encode(std::wstring(name, name_length)) + "=" + value + "\n";
  }
}

}  // namespace

TestFeatureStore::TestFeatureStore(const std::filesystem::path& folder) : m_folder(folder) {
  RedirectRoots(REG_OPTION_NON_VOLATILE);
}

TestFeatureStore::~TestFeatureStore() {
  RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
  RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  RegDeleteTreeW(HKEY_CURRENT_USER, TestKeyPath().c_str());
}

void TestFeatureStore::RefuseWrites() { RedirectRoots(REG_OPTION_VOLATILE); }

// The machine's store, and the user's after it (where a user who may not
// write the machine's keys has the value).
std::string TestFeatureStore::Text() const {
  std::string text;
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    HKEY store = nullptr;
    if (RegOpenKeyExW(root, platform::FeatureControlStorePath().c_str(), 0, KEY_READ, &store) !=
        ERROR_SUCCESS) {
      continue;
    }
    for (DWORD index = 0;; ++index) {
      wchar_t name[256];
      DWORD name_length = 256;
      if (RegEnumKeyExW(store, index, name, &name_length, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS) {
        break;
      }
      HKEY feature = nullptr;
      if (RegOpenKeyExW(store, name, 0, KEY_READ, &feature) != ERROR_SUCCESS) continue;
      text +=
          "[" + platform::Utf8Encode(std::wstring(name, name_length)) + "]\n" + ValuesText(feature);
      RegCloseKey(feature);
    }
    RegCloseKey(store);
  }
  return text;
}

}  // namespace test_support
