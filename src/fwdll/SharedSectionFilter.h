// The filter backend of FWDLL.dll: the rule table in a named, shared memory section. The
// library creates the section in Palisor's process and is its only writer; guarded processes
// open it read-only, by the name their placement handed them (see RuleTable.h for the names).
//
// The section is only ever one this library created: a name that already exists belongs to
// someone else, whose section is left alone, and the table moves to a private name.
#pragma once

#include <windows.h>

#include "core/packetfilter/FilterBackend.h"

namespace palisor::fwdll {

class SharedSectionFilter final : public packetfilter::SharedTableFilter {
 public:
  SharedSectionFilter() = default;
  ~SharedSectionFilter() override { Close(); }
  SharedSectionFilter(const SharedSectionFilter&) = delete;
  SharedSectionFilter& operator=(const SharedSectionFilter&) = delete;

  // Creates the section (under the global namespace where this process may, the session's
  // otherwise), maps it and makes it an empty table with filtering off. A second call keeps the
  // table. Returns 0 or the system's error code.
  std::int32_t Open() override;
  // Unmaps the section. Guarded processes that still map it keep the table as it stands.
  void Close() override;

  // The section's name, NUL-terminated; empty before Open succeeded.
  const packetfilter::SectionName& Name() const { return name_; }
  // Whether the well-known name was held by another program, so that Name() is a private one.
  bool WellKnownNameTaken() const { return wellKnownNameTaken_; }

 private:
  HANDLE section_ = nullptr;
  void* view_ = nullptr;
  packetfilter::SectionName name_{};
  bool wellKnownNameTaken_ = false;
};

}  // namespace palisor::fwdll
