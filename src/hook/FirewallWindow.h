// The way from a hooked call to the firewall's main window: one WM_COPYDATA message per question,
// sent so that the waiting thread still handles messages sent to its own windows.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/events/Protocol.h"
#include "core/hooking/FirewallAnswer.h"
#include "core/hooking/RecordFilling.h"

namespace palisor::hook {

using events::kAnswerTimeoutMs;

class WindowLink final : public hooking::FirewallLink {
 public:
  // `record` is the filled event record of kind `message` (the WM_COPYDATA WParam).
  WindowLink(std::uint32_t message, const void* record, std::size_t size)
      : message_(message), record_(record), size_(size) {}

  bool Deliver(hooking::Cells& cells) override;
  void Wait(std::uint32_t milliseconds) override;
  bool Withdrawn() override;

 private:
  std::uint32_t message_;
  const void* record_;
  std::size_t size_;
};

// The cells' addresses in this (32-bit) process, for the record.
hooking::CellAddresses AddressesOf(hooking::Cells& cells);
std::uint32_t AddressOf(const void* pointer);

// Asks the firewall about the record in `link`, counting the question for removal.
hooking::CallVerdict Ask(hooking::EventKind kind, hooking::Cells& cells, WindowLink& link);

// The process as every record names it; filled once when the hooks are installed.
hooking::ProcessIdentity& Identity();
void IdentifyProcess();

}  // namespace palisor::hook
