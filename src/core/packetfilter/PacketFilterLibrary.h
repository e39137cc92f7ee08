// The packet filter library "FWDLL.dll" as the core sees it: loaded once at start-up, five entry
// points resolved by name, and a sixth that names the section holding the rules; any of them may
// be absent. Every call site skips an absent entry.
// Results are the library's 32-bit codes, 0 for success. Implemented by the Win32 loader and
// faked in tests.
#pragma once

#include <cstdint>
#include <string>

#include "core/packetfilter/RuleTable.h"

namespace palisor::packetfilter {

inline constexpr const char* kLibraryFileName = "FWDLL.dll";

enum class FilterEntry { LoadDriver, StartFirewall, StopFirewall, ClearRules, AddRule, RuleSection };

// The operating system's last error when the library cannot be loaded, with its system text.
struct SystemErrorInfo {
  std::uint32_t code = 0;
  std::string text;
};

class PacketFilterLibrary {
 public:
  virtual ~PacketFilterLibrary() = default;

  // Loads the library and resolves its entry points. False, with the system's error, when the
  // library cannot be loaded; a loaded library may still lack any entry point.
  virtual bool Load(SystemErrorInfo& error) = 0;
  virtual bool IsLoaded() const = 0;
  // Unloads the library; every entry point is absent afterwards.
  virtual void Unload() = 0;

  virtual bool Has(FilterEntry entry) const = 0;

  // Each call requires Has(entry); a call of an absent entry returns a non-zero code.
  virtual std::int32_t LoadDriver() = 0;
  virtual std::int32_t StartFirewall() = 0;
  virtual std::int32_t StopFirewall() = 0;
  virtual std::int32_t ClearRules() = 0;
  virtual std::int32_t AddRule(const RuleArguments& rule) = 0;
  // GetRuleSectionA: the name of the section that holds the rules; the code is 0, or
  // kFilterSectionNameTaken when the well-known name belonged to another program (FilterBackend.h).
  virtual std::int32_t RuleSection(std::string& name) = 0;
};

// A system without the packet filter: nothing loaded, every entry point absent.
class NoPacketFilterLibrary final : public PacketFilterLibrary {
 public:
  bool Load(SystemErrorInfo& error) override {
    error = {};
    return false;
  }
  bool IsLoaded() const override { return false; }
  void Unload() override {}
  bool Has(FilterEntry) const override { return false; }
  std::int32_t LoadDriver() override { return kAbsent; }
  std::int32_t StartFirewall() override { return kAbsent; }
  std::int32_t StopFirewall() override { return kAbsent; }
  std::int32_t ClearRules() override { return kAbsent; }
  std::int32_t AddRule(const RuleArguments&) override { return kAbsent; }
  std::int32_t RuleSection(std::string&) override { return kAbsent; }

 private:
  static constexpr std::int32_t kAbsent = -1;
};

}  // namespace palisor::packetfilter
