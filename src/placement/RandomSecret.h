// Secrets for the hook library's proof of origin (PlacementHandover::secret).
#pragma once

#include <cstdint>

namespace palisor::placement {

// A 32-bit number from the system's cryptographic generator (RtlGenRandom, advapi32's
// SystemFunction036, else BCryptGenRandom; both looked up at run time), never 0. Returns 0 (no
// secret) only where the system offers neither. Safe from any thread.
std::uint32_t NewRandomSecret();

}  // namespace palisor::placement
