#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "win32/platform/Win32Registry.h"

using palisor::settings::StoredString;
using palisor::win32::Win32RegistryStore;

namespace {

class Win32RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    subKey_ = "Software\\PalisorTests\\Registry" + std::to_string(GetCurrentProcessId());
    RegDeleteTreeA(HKEY_CURRENT_USER, subKey_.c_str());
  }
  void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, subKey_.c_str()); }

  void SetRaw(const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, subKey_.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
  }

  std::string subKey_;
};

}  // namespace

TEST_F(Win32RegistryTest, MissingKeyIsNotCreatedByReading) {
  Win32RegistryStore store(HKEY_CURRENT_USER, subKey_);
  EXPECT_EQ(store.OpenExisting(), nullptr);
  EXPECT_EQ(store.OpenExisting(), nullptr);
  auto created = store.OpenOrCreate();
  ASSERT_NE(created, nullptr);
  created.reset();
  EXPECT_NE(store.OpenExisting(), nullptr);
}

TEST_F(Win32RegistryTest, WrittenStringsReadBack) {
  Win32RegistryStore store(HKEY_CURRENT_USER, subKey_);
  {
    auto key = store.OpenOrCreate();
    ASSERT_NE(key, nullptr);
    key->WriteString("Autostart", "yes");
    key->WriteString("Logging level", "-1");
    key->WriteString("Empty", "");
  }
  auto key = store.OpenExisting();
  ASSERT_NE(key, nullptr);
  struct Case {
    const char* name;
    StoredString::Kind kind;
    const char* text;
  } cases[] = {{"Autostart", StoredString::Kind::String, "yes"},
               {"Logging level", StoredString::Kind::String, "-1"},
               {"Empty", StoredString::Kind::String, ""},
               {"Start minimized", StoredString::Kind::Missing, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const StoredString value = key->ReadString(c.name);
    EXPECT_EQ(value.kind, c.kind);
    EXPECT_EQ(value.text, c.text);
  }
}

TEST_F(Win32RegistryTest, ValueTypesAndOddData) {
  const DWORD number = 1;
  SetRaw("Number", REG_DWORD, &number, sizeof number);
  SetRaw("Binary", REG_BINARY, "yes", 3);
  SetRaw("Expand", REG_EXPAND_SZ, "yes", 4);
  SetRaw("Unterminated", REG_SZ, "yes", 3);
  SetRaw("Inner NUL", REG_SZ, "yes\0junk", 9);
  const std::string huge(Win32RegistryStore::kMaxValueBytes + 10, 'y');
  SetRaw("Huge", REG_SZ, huge.c_str(), static_cast<DWORD>(huge.size() + 1));

  Win32RegistryStore store(HKEY_CURRENT_USER, subKey_);
  auto key = store.OpenExisting();
  ASSERT_NE(key, nullptr);
  struct Case {
    const char* name;
    StoredString::Kind kind;
    const char* text;
  } cases[] = {{"Number", StoredString::Kind::NotString, ""},   {"Binary", StoredString::Kind::NotString, ""},
               {"Expand", StoredString::Kind::String, "yes"},   {"Unterminated", StoredString::Kind::String, "yes"},
               {"Inner NUL", StoredString::Kind::String, "yes"}, {"Huge", StoredString::Kind::String, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const StoredString value = key->ReadString(c.name);
    EXPECT_EQ(value.kind, c.kind);
    EXPECT_EQ(value.text, c.text);
  }
}
