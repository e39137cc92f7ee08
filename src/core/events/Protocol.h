// The facts of the event protocol that the firewall (Palisor.exe) and the hook library
// (PalisorDLL.dll) both rely on: where events go, how they are told apart, how much of a call's
// data the firewall reads, and how long an answer may take. Both sides include this header and
// nothing else defines these values.
#pragma once

#include <cstddef>
#include <cstdint>

namespace palisor::events {

// The firewall's main window, which receives every event as WM_COPYDATA.
inline constexpr const char* kFirewallWindowClass = "TForm1";
inline constexpr const char* kFirewallWindowCaption = "Palisor";

// The message's WParam: a network event or a system event. Any other value is ignored.
inline constexpr std::uint32_t kNetworkEventMessage = 12345;
inline constexpr std::uint32_t kSystemEventMessage = 54321;

// The most of a network call's data the firewall reads for one event (the payload text, the
// content filter, the packet log); the hook library never names more.
inline constexpr std::size_t kMaxPayloadRead = 64 * 1024;

// A prompt asks the user for at most this long, then closes by itself.
inline constexpr int kPromptSeconds = 60;
inline constexpr std::uint32_t kPromptMs = kPromptSeconds * 1000u;

// How long the hook library waits for one answer: a full prompt with room to spare. A send that
// takes longer counts as a hanging firewall, and the call goes on without it.
inline constexpr std::uint32_t kAnswerTimeoutMs = kPromptMs + 5000;

// The most a network call spends asking again after busy answers: one whole answer (a prompt
// shown for another event) and room for the event that follows it.
inline constexpr std::uint32_t kNetworkBusyBudgetMs = kAnswerTimeoutMs + 5000;

}  // namespace palisor::events
