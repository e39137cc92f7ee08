#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "core/settings/SettingsStore.h"

namespace palisor::win32 {

// One registry key of string values, e.g. HKEY_LOCAL_MACHINE "SOFTWARE\Palisor\Config". Values
// of type REG_SZ and REG_EXPAND_SZ are strings (cut at their first NUL); every other type reads
// as "not a string". A string value longer than kMaxValueBytes reads as empty text.
class Win32RegistryStore final : public settings::SettingsStore {
 public:
  static constexpr DWORD kMaxValueBytes = 64 * 1024;

  Win32RegistryStore(HKEY root, std::string subKey) : root_(root), subKey_(std::move(subKey)) {}

  // Opened for reading only, so that a user without write access still gets the settings.
  std::unique_ptr<settings::SettingsKey> OpenExisting() override;
  std::unique_ptr<settings::SettingsKey> OpenOrCreate() override;

 private:
  HKEY root_;
  std::string subKey_;
};

}  // namespace palisor::win32
