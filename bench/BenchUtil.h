// Timing helpers of the benchmarks: figures are printed, never asserted.
#pragma once

#include <chrono>
#include <cstdio>

namespace palisor::bench {

// Runs `body` `rounds` times and returns the mean time of one round in nanoseconds.
template <typename Body>
double NanosPerRound(long rounds, Body&& body) {
  const auto start = std::chrono::steady_clock::now();
  for (long i = 0; i < rounds; ++i) body();
  const auto elapsed = std::chrono::steady_clock::now() - start;
  return std::chrono::duration<double, std::nano>(elapsed).count() / static_cast<double>(rounds);
}

// Keeps the optimizer from dropping a computed value.
template <typename T>
void KeepAlive(const T& value) {
  asm volatile("" : : "g"(&value) : "memory");
}

}  // namespace palisor::bench
