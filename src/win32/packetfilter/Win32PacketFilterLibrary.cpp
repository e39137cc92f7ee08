#include "win32/packetfilter/Win32PacketFilterLibrary.h"

namespace palisor::win32 {

namespace {

template <typename Function>
Function Resolve(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

}  // namespace

std::string SystemErrorText(DWORD code) {
  char* buffer = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
      0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text(buffer ? buffer : "", buffer ? length : 0);
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

Win32PacketFilterLibrary::Win32PacketFilterLibrary(std::string directory)
    : path_(std::move(directory) + packetfilter::kLibraryFileName) {}

Win32PacketFilterLibrary::~Win32PacketFilterLibrary() { Unload(); }

bool Win32PacketFilterLibrary::Load(packetfilter::SystemErrorInfo& error) {
  if (module_) return true;
  module_ = LoadLibraryA(path_.c_str());
  if (!module_) {
    const DWORD code = GetLastError();
    error = {code, SystemErrorText(code)};
    return false;
  }
  loadDriver_ = Resolve<Entry>(module_, "LoadDriverA");
  stopFirewall_ = Resolve<Entry>(module_, "StopFirewall");
  startFirewall_ = Resolve<Entry>(module_, "StartFirewall");
  addRule_ = Resolve<AddRuleEntry>(module_, "AddRuleA");
  clearRules_ = Resolve<Entry>(module_, "ClearRulesA");
  ruleSection_ = Resolve<RuleSectionEntry>(module_, "GetRuleSectionA");
  return true;
}

void Win32PacketFilterLibrary::Unload() {
  loadDriver_ = startFirewall_ = stopFirewall_ = clearRules_ = nullptr;
  addRule_ = nullptr;
  ruleSection_ = nullptr;
  if (module_) FreeLibrary(module_);
  module_ = nullptr;
}

bool Win32PacketFilterLibrary::Has(packetfilter::FilterEntry entry) const {
  using packetfilter::FilterEntry;
  switch (entry) {
    case FilterEntry::LoadDriver: return loadDriver_ != nullptr;
    case FilterEntry::StartFirewall: return startFirewall_ != nullptr;
    case FilterEntry::StopFirewall: return stopFirewall_ != nullptr;
    case FilterEntry::ClearRules: return clearRules_ != nullptr;
    case FilterEntry::AddRule: return addRule_ != nullptr;
    case FilterEntry::RuleSection: return ruleSection_ != nullptr;
  }
  return false;
}

std::int32_t Win32PacketFilterLibrary::AddRule(const packetfilter::RuleArguments& rule) {
  if (!addRule_) return kAbsent;
  return addRule_(rule.protocol, rule.destinationAddress, rule.destinationMask, rule.destinationPort,
                  rule.sourceAddress, rule.sourceMask, rule.sourcePort, rule.reserved1, rule.reserved2, rule.action);
}

std::int32_t Win32PacketFilterLibrary::RuleSection(std::string& name) {
  name.clear();
  if (!ruleSection_) return kAbsent;
  char buffer[packetfilter::kSectionNameCapacity] = {};
  const std::int32_t code = ruleSection_(buffer, sizeof buffer);
  buffer[sizeof buffer - 1] = '\0';  // whatever the library wrote, the name ends in the buffer
  name = buffer;
  return code;
}

}  // namespace palisor::win32
