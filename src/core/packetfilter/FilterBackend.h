// What FWDLL.dll's five exports drive: a filter backend. The one built today keeps the rules in
// the shared rule table that the hook library consults in every guarded process; a kernel-level
// backend (Windows Filtering Platform) would implement the same five operations, and neither
// Palisor nor the exports would change.
#pragma once

#include <cstdint>
#include <optional>

#include "core/packetfilter/RuleTable.h"

namespace palisor::packetfilter {

// Codes of the backend, beside the operating system's own (which Open passes on). They carry
// the customer bit (bit 29) of Windows error codes, so they never collide with a system code.
enum FilterStatus : std::int32_t {
  kFilterOk = 0,
  kFilterNotReady = 0x20000001,        // no table: LoadDriverA was not called or failed
  kFilterTableFull = 0x20000002,       // kRuleCapacity rules are in the table already
  kFilterInvalidAction = 0x20000003,   // the action is neither DROP (0) nor PASS (1)
  kFilterSectionNameTaken = 0x20000004,  // the rules are under a private name (see RuleTable.h)
};

class FilterBackend {
 public:
  virtual ~FilterBackend() = default;
  virtual std::int32_t Open() = 0;   // LoadDriverA: ready to take rules, filtering off
  virtual std::int32_t Start() = 0;  // StartFirewall
  virtual std::int32_t Stop() = 0;   // StopFirewall
  virtual std::int32_t Clear() = 0;  // ClearRulesA
  virtual std::int32_t Add(const RuleArguments& rule) = 0;  // AddRuleA: appended after the others
  virtual void Close() = 0;          // the library is unloaded
};

// The operations on a shared rule table that is already mapped; the platform part maps it.
class SharedTableFilter : public FilterBackend {
 public:
  std::int32_t Start() override { return Edit([](RuleTableWriter& writer) { writer.SetFiltering(true); }); }
  std::int32_t Stop() override { return Edit([](RuleTableWriter& writer) { writer.SetFiltering(false); }); }
  std::int32_t Clear() override { return Edit([](RuleTableWriter& writer) { writer.Clear(); }); }

  std::int32_t Add(const RuleArguments& rule) override {
    if (!writer_) return kFilterNotReady;
    if (rule.action != kActionDrop && rule.action != kActionPass) return kFilterInvalidAction;
    return writer_->Append(MakeFilterRule(rule)) ? kFilterOk : kFilterTableFull;
  }

 protected:
  // Takes the mapped table and makes it empty with filtering off.
  void Attach(SharedRuleTable& table) {
    writer_.emplace(table);
    writer_->Initialize();
  }
  void Detach() { writer_.reset(); }
  bool Attached() const { return writer_.has_value(); }

 private:
  template <typename Change>
  std::int32_t Edit(Change change) {
    if (!writer_) return kFilterNotReady;
    change(*writer_);
    return kFilterOk;
  }

  std::optional<RuleTableWriter> writer_;
};

}  // namespace palisor::packetfilter
