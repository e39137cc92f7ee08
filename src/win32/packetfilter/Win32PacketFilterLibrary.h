// The packet filter library loaded from the program directory with LoadLibraryA, its six entry
// points resolved with GetProcAddress. Unloaded when the object goes.
#pragma once

#include <windows.h>

#include <string>

#include "core/packetfilter/PacketFilterLibrary.h"

namespace palisor::win32 {

class Win32PacketFilterLibrary final : public packetfilter::PacketFilterLibrary {
 public:
  // `directory`: where "FWDLL.dll" lies, with its trailing path separator.
  explicit Win32PacketFilterLibrary(std::string directory);
  ~Win32PacketFilterLibrary() override;
  Win32PacketFilterLibrary(const Win32PacketFilterLibrary&) = delete;
  Win32PacketFilterLibrary& operator=(const Win32PacketFilterLibrary&) = delete;

  bool Load(packetfilter::SystemErrorInfo& error) override;
  bool IsLoaded() const override { return module_ != nullptr; }
  void Unload() override;
  bool Has(packetfilter::FilterEntry entry) const override;

  std::int32_t LoadDriver() override { return CallOrAbsent(loadDriver_); }
  std::int32_t StartFirewall() override { return CallOrAbsent(startFirewall_); }
  std::int32_t StopFirewall() override { return CallOrAbsent(stopFirewall_); }
  std::int32_t ClearRules() override { return CallOrAbsent(clearRules_); }
  std::int32_t AddRule(const packetfilter::RuleArguments& rule) override;
  std::int32_t RuleSection(std::string& name) override;

 private:
  using Entry = std::int32_t(__cdecl*)();
  using AddRuleEntry = std::int32_t(__cdecl*)(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                                              std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                                              std::uint32_t, std::uint32_t);
  using RuleSectionEntry = std::int32_t(__cdecl*)(char*, std::uint32_t);
  static constexpr std::int32_t kAbsent = static_cast<std::int32_t>(ERROR_PROC_NOT_FOUND);

  static std::int32_t CallOrAbsent(Entry entry) { return entry ? entry() : kAbsent; }

  std::string path_;
  HMODULE module_ = nullptr;
  Entry loadDriver_ = nullptr, startFirewall_ = nullptr, stopFirewall_ = nullptr, clearRules_ = nullptr;
  AddRuleEntry addRule_ = nullptr;
  RuleSectionEntry ruleSection_ = nullptr;
};

// The system's text for an error code, without its trailing line break; empty when it has none.
std::string SystemErrorText(DWORD code);

}  // namespace palisor::win32
