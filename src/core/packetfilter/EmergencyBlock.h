// "Block Internet Access" (pEmgStop): replaces the packet filter's rules with one rule that
// drops everything and, on the next click, hands the advanced rules back to the filter.
#pragma once

#include <cstdint>

#include "core/engine/EventHandlers.h"
#include "core/packetfilter/AdvancedRules.h"
#include "core/packetfilter/PacketFilterLibrary.h"
#include "core/stores/SystemLog.h"

namespace palisor::packetfilter {

enum class CaptionColour { Default, Blue, Red };

// The caption of pEmgStop and the colour of its font.
struct EmergencyButtonFace {
  const char* caption;
  CaptionColour colour;

  bool operator==(const EmergencyButtonFace& other) const;
};

// 0x00BBGGRR, as the window's font colour takes it; Default has none (the window keeps its own).
std::uint32_t ColourRef(CaptionColour colour);

class EmergencyBlock {
 public:
  static constexpr EmergencyButtonFace kInitialFace{"Block Internet Access", CaptionColour::Default};
  static constexpr EmergencyButtonFace kBlockedFace{"Resume operations", CaptionColour::Blue};
  static constexpr EmergencyButtonFace kResumedFace{"Block all Internet Access", CaptionColour::Red};

  EmergencyBlock(PacketFilterLibrary& library, AdvancedRules& advancedRules, stores::SystemLog& log,
                 engine::ErrorSink& errors);

  // The click: blocks or resumes, and returns the button's new face. A conversion error while
  // the advanced rules are handed back is reported to the error sink and ends the resume there.
  EmergencyButtonFace pEmgStopClick();

  bool InternetBlocked() const { return internetBlocked_; }
  EmergencyButtonFace Face() const { return face_; }

 private:
  void Block();
  void Resume();

  PacketFilterLibrary& library_;
  AdvancedRules& advancedRules_;
  stores::SystemLog& log_;
  engine::ErrorSink& errors_;
  bool internetBlocked_ = false;
  EmergencyButtonFace face_ = kInitialFace;
};

}  // namespace palisor::packetfilter
