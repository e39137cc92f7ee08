#include "core/packetfilter/EmergencyBlock.h"

#include <cstring>

#include "core/packetfilter/Conversions.h"

namespace palisor::packetfilter {

namespace {

// Protocol any, all four addresses and masks from "0.0.0.0", ports any, DROP.
RuleArguments CatchAllDropRule() {
  RuleArguments rule;
  rule.protocol = kProtocolAny;
  rule.destinationAddress = InetAddr("0.0.0.0");
  rule.destinationMask = InetAddr("0.0.0.0");
  rule.sourceAddress = InetAddr("0.0.0.0");
  rule.sourceMask = InetAddr("0.0.0.0");
  rule.action = kActionDrop;
  return rule;
}

}  // namespace

bool EmergencyButtonFace::operator==(const EmergencyButtonFace& other) const {
  return std::strcmp(caption, other.caption) == 0 && colour == other.colour;
}

std::uint32_t ColourRef(CaptionColour colour) {
  switch (colour) {
    case CaptionColour::Blue: return 0x00FF0000u;
    case CaptionColour::Red: return 0x000000FFu;
    case CaptionColour::Default: break;
  }
  return 0;
}

EmergencyBlock::EmergencyBlock(PacketFilterLibrary& library, AdvancedRules& advancedRules, stores::SystemLog& log,
                               engine::ErrorSink& errors)
    : library_(library), advancedRules_(advancedRules), log_(log), errors_(errors) {}

EmergencyButtonFace EmergencyBlock::pEmgStopClick() {
  internetBlocked_ = !internetBlocked_;
  if (internetBlocked_) {
    Block();
  } else {
    Resume();
  }
  return face_;
}

void EmergencyBlock::Block() {
  face_ = kBlockedFace;
  advancedRules_.CloseFile();
  if (library_.Has(FilterEntry::ClearRules)) library_.ClearRules();
  if (!library_.Has(FilterEntry::AddRule)) return;
  if (library_.AddRule(CatchAllDropRule()) == 0) {
    log_.AddSysLogLine("All traffic is blocked! Click \"Resume operations\" to restore previous status");
  } else {
    log_.AddSysLogLine("AddRule failed");
  }
}

void EmergencyBlock::Resume() {
  if (library_.Has(FilterEntry::ClearRules)) library_.ClearRules();
  face_ = kResumedFace;
  try {
    advancedRules_.ApplyRules();
  } catch (const IntegerConversionError& error) {
    errors_.ReportError(error.what());
    return;
  }
  log_.AddSysLogLine("Normal network operations resumed");
}

}  // namespace palisor::packetfilter
