#include "fwdll/SharedSectionFilter.h"

#include <sddl.h>

namespace palisor::fwdll {

namespace {

// Full access for the system, administrators and the section's owner; reading for everyone,
// low-integrity processes included, so that every guarded process can consult the table.
constexpr const char* kSectionSecurity = "D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;GA;;;OW)(A;;GR;;;WD)S:(ML;;NW;;;LW)";

// The section's security attributes; the default security when the descriptor cannot be built.
class SectionSecurity {
 public:
  SectionSecurity() {
    if (ConvertStringSecurityDescriptorToSecurityDescriptorA(kSectionSecurity, SDDL_REVISION_1, &descriptor_,
                                                             nullptr)) {
      attributes_ = {sizeof attributes_, descriptor_, FALSE};
    }
  }
  ~SectionSecurity() {
    if (descriptor_) LocalFree(descriptor_);
  }
  SectionSecurity(const SectionSecurity&) = delete;
  SectionSecurity& operator=(const SectionSecurity&) = delete;

  SECURITY_ATTRIBUTES* Attributes() { return descriptor_ ? &attributes_ : nullptr; }

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  SECURITY_ATTRIBUTES attributes_{};
};

HANDLE CreateSection(SECURITY_ATTRIBUTES* security, const char* name) {
  return CreateFileMappingA(INVALID_HANDLE_VALUE, security, PAGE_READWRITE, 0,
                            static_cast<DWORD>(packetfilter::kSectionSize), name);
}

}  // namespace

std::int32_t SharedSectionFilter::Open() {
  if (view_) return packetfilter::kFilterOk;
  SectionSecurity security;
  section_ = CreateSection(security.Attributes(), packetfilter::kGlobalSectionName);
  if (!section_) section_ = CreateSection(security.Attributes(), packetfilter::kLocalSectionName);
  if (!section_) return static_cast<std::int32_t>(GetLastError());
  view_ = MapViewOfFile(section_, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, packetfilter::kSectionSize);
  if (!view_) {
    const DWORD error = GetLastError();  // e.g. a smaller section of another program holds the name
    CloseHandle(section_);
    section_ = nullptr;
    return static_cast<std::int32_t>(error);
  }
  Attach(*static_cast<packetfilter::SharedRuleTable*>(view_));
  return packetfilter::kFilterOk;
}

void SharedSectionFilter::Close() {
  Detach();
  if (view_) UnmapViewOfFile(view_);
  if (section_) CloseHandle(section_);
  view_ = nullptr;
  section_ = nullptr;
}

}  // namespace palisor::fwdll
