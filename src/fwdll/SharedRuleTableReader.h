// The reading side of FWDLL.dll's shared rule table, for the processes that consult it (the hook
// library in each guarded process, the test tools). Header-only, so that its users need nothing
// but this file and the core's RuleTable.h.
//
// Which section: the one named by UseSection (the name Palisor handed over at placement), else the
// well-known names (kGlobalSectionName, then kLocalSectionName). A mapped view is used only when it
// holds a whole table of the expected layout; a table's count and indexes are bounded by the
// reader's own capacity (RuleTable.h), never by what the section says.
#pragma once

#include <windows.h>

#include <array>
#include <atomic>
#include <cstring>

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

  // From the next lookup on, reads the section named `name` (NUL-terminated within
  // kSectionNameCapacity; empty or null: the well-known names). A table mapped before stays
  // mapped until Unmap, since a lookup on another thread may still be reading it.
  void UseSection(const char* name) {
    packetfilter::SectionName wanted{};
    if (name) std::strncpy(wanted.data(), name, wanted.size() - 1);
    AcquireSRWLockExclusive(&nameLock_);
    if (wanted != name_) {
      name_ = wanted;
      Retire(table_.exchange(nullptr));
      attempted_.store(false, std::memory_order_relaxed);
    }
    ReleaseSRWLockExclusive(&nameLock_);
  }

  // The name given to UseSection; empty for the well-known names.
  packetfilter::SectionName Section() {
    AcquireSRWLockShared(&nameLock_);
    const packetfilter::SectionName name = name_;
    ReleaseSRWLockShared(&nameLock_);
    return name;
  }

  // Unmaps every table; only when no thread can be inside Lookup.
  void Unmap() {
    Release(table_.exchange(nullptr));
    for (auto& retired : retired_) Release(retired.exchange(nullptr));
  }

 private:
  static constexpr DWORD kRetryIntervalMs = 1000;
  static constexpr std::size_t kMaxRetired = 8;

  static void Release(const packetfilter::SharedRuleTable* table) {
    if (table) UnmapViewOfFile(table);
  }

  // Keeps a table that was replaced mapped until Unmap; past kMaxRetired replacements the oldest
  // ones stay mapped for good (a few pages per restart of the firewall).
  void Retire(const packetfilter::SharedRuleTable* table) {
    if (!table) return;
    for (auto& retired : retired_) {
      const packetfilter::SharedRuleTable* empty = nullptr;
      if (retired.compare_exchange_strong(empty, table)) return;
    }
  }

  static const packetfilter::SharedRuleTable* OpenView(const char* name) {
    HANDLE section = OpenFileMappingA(FILE_MAP_READ, FALSE, name);
    if (!section) return nullptr;
    void* view = MapViewOfFile(section, FILE_MAP_READ, 0, 0, packetfilter::kSectionSize);
    CloseHandle(section);  // the view keeps the section alive
    if (!view) return nullptr;
    MEMORY_BASIC_INFORMATION region{};
    const std::size_t readable = VirtualQuery(view, &region, sizeof region) ? region.RegionSize : 0;
    const packetfilter::SharedRuleTable* table = packetfilter::UsableTable(view, readable);
    if (!table) UnmapViewOfFile(view);
    return table;
  }

  const packetfilter::SharedRuleTable* Map() {
    const packetfilter::SectionName name = Section();
    const packetfilter::SharedRuleTable* table = nullptr;
    if (name[0] != '\0') {
      table = OpenView(name.data());
    } else {
      table = OpenView(packetfilter::kGlobalSectionName);
      if (!table) table = OpenView(packetfilter::kLocalSectionName);
    }
    if (!table) return nullptr;
    // Taken only while the name is still the one opened (UseSection may have run meanwhile).
    const packetfilter::SharedRuleTable* expected = nullptr;
    AcquireSRWLockShared(&nameLock_);
    const bool taken = name == name_ && table_.compare_exchange_strong(expected, table);
    ReleaseSRWLockShared(&nameLock_);
    if (!taken) UnmapViewOfFile(table);
    return taken ? table : expected;
  }

  std::atomic<const packetfilter::SharedRuleTable*> table_{nullptr};
  std::atomic<DWORD> lastAttempt_{0};
  std::atomic<bool> attempted_{false};
  SRWLOCK nameLock_ = SRWLOCK_INIT;
  packetfilter::SectionName name_{};  // under nameLock_
  std::array<std::atomic<const packetfilter::SharedRuleTable*>, kMaxRetired> retired_{};
};

}  // namespace palisor::fwdll
