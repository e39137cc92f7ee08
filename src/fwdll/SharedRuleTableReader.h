// The reading side of FWDLL.dll's shared rule table, for the processes that consult it (the hook
// library in each guarded process, the test tools). Header-only, so that its users need nothing
// but this file and the core's RuleTable.h.
#pragma once

#include <windows.h>

#include <atomic>

#include "core/packetfilter/RuleTable.h"

namespace palisor::fwdll {

class SharedRuleTableReader {
 public:
  SharedRuleTableReader() = default;
  ~SharedRuleTableReader() { Unmap(); }
  SharedRuleTableReader(const SharedRuleTableReader&) = delete;
  SharedRuleTableReader& operator=(const SharedRuleTableReader&) = delete;

  // The verdict of the table for one call; NoMatch while there is no valid table. Safe on any
  // number of threads at once.
  packetfilter::FilterVerdict Lookup(const packetfilter::FilterQuery& query) {
    const packetfilter::SharedRuleTable* table = Table();
    return table ? packetfilter::LookupFilter(*table, query) : packetfilter::FilterVerdict::NoMatch;
  }

  // The mapped table, or nullptr while none exists. Opening is retried at most once a second,
  // so a process started before Palisor's library pays one failed open per second, not per call.
  const packetfilter::SharedRuleTable* Table() {
    const packetfilter::SharedRuleTable* table = table_.load(std::memory_order_acquire);
    if (table) return table;
    const DWORD now = GetTickCount();
    DWORD last = lastAttempt_.load(std::memory_order_relaxed);
    if (attempted_.load(std::memory_order_relaxed) && now - last < kRetryIntervalMs) return nullptr;
    if (!lastAttempt_.compare_exchange_strong(last, now)) return nullptr;  // another thread tries
    attempted_.store(true, std::memory_order_relaxed);
    return Map();
  }

  void Unmap() {
    const packetfilter::SharedRuleTable* table = table_.exchange(nullptr);
    if (table) UnmapViewOfFile(table);
  }

 private:
  static constexpr DWORD kRetryIntervalMs = 1000;

  static const packetfilter::SharedRuleTable* OpenView(const char* name) {
    HANDLE section = OpenFileMappingA(FILE_MAP_READ, FALSE, name);
    if (!section) return nullptr;
    void* view = MapViewOfFile(section, FILE_MAP_READ, 0, 0, packetfilter::kSectionSize);
    CloseHandle(section);  // the view keeps the section alive
    auto* table = static_cast<const packetfilter::SharedRuleTable*>(view);
    if (table && !packetfilter::TableLayoutIsValid(*table)) {
      UnmapViewOfFile(view);
      return nullptr;
    }
    return table;
  }

  const packetfilter::SharedRuleTable* Map() {
    const packetfilter::SharedRuleTable* table = OpenView(packetfilter::kGlobalSectionName);
    if (!table) table = OpenView(packetfilter::kLocalSectionName);
    if (!table) return nullptr;
    const packetfilter::SharedRuleTable* expected = nullptr;
    if (!table_.compare_exchange_strong(expected, table)) {
      UnmapViewOfFile(table);
      return expected;
    }
    return table;
  }

  std::atomic<const packetfilter::SharedRuleTable*> table_{nullptr};
  std::atomic<DWORD> lastAttempt_{0};
  std::atomic<bool> attempted_{false};
};

}  // namespace palisor::fwdll
