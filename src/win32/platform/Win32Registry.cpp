#include "win32/platform/Win32Registry.h"

#include <cstring>

namespace palisor::win32 {

namespace {

class RegistryKey final : public settings::SettingsKey {
 public:
  explicit RegistryKey(HKEY key) : key_(key) {}
  ~RegistryKey() override { RegCloseKey(key_); }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  settings::StoredString ReadString(std::string_view name) override {
    const std::string valueName(name);
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key_, valueName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
      return settings::StoredString::Missing();
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) return settings::StoredString::NotString();
    if (size > Win32RegistryStore::kMaxValueBytes) return settings::StoredString::String({});

    std::string text(Win32RegistryStore::kMaxValueBytes, '\0');
    size = static_cast<DWORD>(text.size());
    if (RegQueryValueExA(key_, valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) !=
        ERROR_SUCCESS) {
      return settings::StoredString::Missing();  // changed or removed meanwhile
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) return settings::StoredString::NotString();
    text.resize(strnlen(text.data(), size));  // the data need not end in a NUL
    return settings::StoredString::String(std::move(text));
  }

  void WriteString(std::string_view name, std::string_view value) override {
    const std::string valueName(name);
    const std::string data(value);
    RegSetValueExA(key_, valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>(data.size() + 1));
  }

 private:
  HKEY key_;
};

}  // namespace

std::unique_ptr<settings::SettingsKey> Win32RegistryStore::OpenExisting() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root_, subKey_.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return nullptr;
  return std::make_unique<RegistryKey>(key);
}

std::unique_ptr<settings::SettingsKey> Win32RegistryStore::OpenOrCreate() {
  HKEY key = nullptr;
  if (RegCreateKeyExA(root_, subKey_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return nullptr;
  }
  return std::make_unique<RegistryKey>(key);
}

}  // namespace palisor::win32
