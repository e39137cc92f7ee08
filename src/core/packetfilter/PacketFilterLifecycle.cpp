#include "core/packetfilter/PacketFilterLifecycle.h"

#include <string>

#include "core/packetfilter/Conversions.h"
#include "core/packetfilter/FilterBackend.h"

namespace palisor::packetfilter {

void LoadPacketFilter(PacketFilterLibrary& library, stores::SystemLog& log) {
  SystemErrorInfo error;
  if (!library.Load(error)) {
    log.AddSysLogLine("Error loading firewall DLL");
    throw SystemError(error);
  }
  log.AddSysLogLine("Advanced firewall DLL loaded successfully");
  std::int32_t code = library.Has(FilterEntry::LoadDriver) ? library.LoadDriver() : 0;
  if (code != 0) {
    log.AddSysLogLine("Advanced firewall driver initialization failed, error code: " + std::to_string(code));
  } else {
    log.AddSysLogLine("Advanced firewall driver initialized successfully");
    std::string section;
    if (library.Has(FilterEntry::RuleSection) && library.RuleSection(section) == kFilterSectionNameTaken) {
      log.AddSysLogLine(kSectionNameTakenLine);
    }
  }
}

std::string RuleSectionForPlacement(PacketFilterLibrary& library) {
  std::string section;
  if (!library.Has(FilterEntry::RuleSection)) return section;
  const std::int32_t code = library.RuleSection(section);
  if (code != kFilterOk && code != kFilterSectionNameTaken) section.clear();
  return section;
}

void ShutDownPacketFilter(PacketFilterLibrary& library) {
  if (library.Has(FilterEntry::ClearRules)) library.ClearRules();
  if (library.Has(FilterEntry::StopFirewall)) library.StopFirewall();
  if (library.IsLoaded()) library.Unload();
}

}  // namespace palisor::packetfilter
