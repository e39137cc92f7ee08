// The filter backend of FWDLL.dll: the rule table in a named, shared memory section. The
// library creates the section in Palisor's process and is its only writer; guarded processes
// open it read-only by name (packetfilter::kGlobalSectionName, then kLocalSectionName).
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

  // Creates the section (the global name where this process may, the session's otherwise),
  // maps it and makes it an empty table with filtering off. A second call keeps the table.
  // Returns 0 or the system's error code.
  std::int32_t Open() override;
  // Unmaps the section. Guarded processes that still map it keep the table as it stands.
  void Close() override;

 private:
  HANDLE section_ = nullptr;
  void* view_ = nullptr;
};

}  // namespace palisor::fwdll
