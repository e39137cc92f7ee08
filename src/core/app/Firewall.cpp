#include "core/app/Firewall.h"

namespace palisor::app {

Firewall::Firewall(PlatformServices platform)
    : platform_(std::move(platform)),
      dispatcher_(platform_.memory, platform_.ownProcessId, settings_, engineState_, passAll_, passAll_, *this) {}

void Firewall::ReportError(const char* message) {
  errorRows_.push_back(platform::NowText(platform_.clock) + " : " + message);
}

}  // namespace palisor::app
