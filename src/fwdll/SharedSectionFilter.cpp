#include "fwdll/SharedSectionFilter.h"

#include <sddl.h>

#include <cstring>
#include <string_view>

namespace palisor::fwdll {

namespace {

// Full access for the system and the administrators (Palisor runs as one); reading only for
// everyone else, so that every guarded process can consult the table and none can change it.
// AppContainer processes are not in "everyone" and get their own reading entry where the system
// knows them (Windows 8 on; older systems refuse the "AC" alias, and the second form is used). No
// mandatory label is needed: integrity levels bar only writing up, and reading is all a guarded
// process of low integrity does.
constexpr const char* kSectionSecurity[] = {
    "D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;GR;;;WD)(A;;GR;;;AC)",
    "D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;GR;;;WD)",
};

// The section's security attributes; the default security when no descriptor can be built
// (the function is looked up so that a system without it still loads the library).
class SectionSecurity {
 public:
  SectionSecurity() {
    using Convert = BOOL(WINAPI*)(LPCSTR, DWORD, PSECURITY_DESCRIPTOR*, PULONG);
    HMODULE advapi = GetModuleHandleA("advapi32.dll");
    if (!advapi) advapi = LoadLibraryA("advapi32.dll");
    const auto convert = reinterpret_cast<Convert>(reinterpret_cast<void (*)()>(
        advapi ? GetProcAddress(advapi, "ConvertStringSecurityDescriptorToSecurityDescriptorA") : nullptr));
    for (const char* sddl : kSectionSecurity) {
      if (convert && convert(sddl, SDDL_REVISION_1, &descriptor_, nullptr)) {
        attributes_ = {sizeof attributes_, descriptor_, FALSE};
        return;
      }
      descriptor_ = nullptr;
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

// A section this call created under `name`. Null when it could not be created, and when the name
// already existed (`existed` set): that section is someone else's, and its handle is closed.
HANDLE CreateOwnSection(SECURITY_ATTRIBUTES* security, const char* name, bool& existed) {
  HANDLE section = CreateFileMappingA(INVALID_HANDLE_VALUE, security, PAGE_READWRITE, 0,
                                      static_cast<DWORD>(packetfilter::kSectionSize), name);
  existed = section && GetLastError() == ERROR_ALREADY_EXISTS;
  if (existed) {
    CloseHandle(section);
    SetLastError(ERROR_ALREADY_EXISTS);
    return nullptr;
  }
  return section;
}

// 128 bits no other program can guess: the system's random generator (RtlGenRandom, looked up at
// run time); without it, the clocks, the process and the address space's layout, mixed.
void RandomBits(std::uint64_t& high, std::uint64_t& low) {
  using GenRandom = BOOLEAN(WINAPI*)(PVOID, ULONG);
  HMODULE advapi = GetModuleHandleA("advapi32.dll");
  const auto generate = reinterpret_cast<GenRandom>(
      reinterpret_cast<void (*)()>(advapi ? GetProcAddress(advapi, "SystemFunction036") : nullptr));
  std::uint64_t bits[2] = {};
  if (!generate || !generate(bits, sizeof bits)) {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    bits[0] = static_cast<std::uint64_t>(counter.QuadPart) * 0x9E3779B97F4A7C15ull ^ GetCurrentProcessId();
    bits[1] = (reinterpret_cast<std::uintptr_t>(&bits) ^ GetTickCount()) * 0xC2B2AE3D27D4EB4Full;
  }
  high = bits[0];
  low = bits[1];
}

}  // namespace

std::int32_t SharedSectionFilter::Open() {
  if (view_) return packetfilter::kFilterOk;
  SectionSecurity security;
  DWORD error = ERROR_INVALID_NAME;
  for (const char* wellKnown : {packetfilter::kGlobalSectionName, packetfilter::kLocalSectionName}) {
    bool existed = false;
    packetfilter::SectionName name{};
    std::strncpy(name.data(), wellKnown, name.size() - 1);
    section_ = CreateOwnSection(security.Attributes(), name.data(), existed);
    if (existed) {
      std::uint64_t high = 0, low = 0;
      RandomBits(high, low);
      name = packetfilter::PrivateSectionName(wellKnown, high, low);
      section_ = CreateOwnSection(security.Attributes(), name.data(), existed);
    }
    if (section_) {
      name_ = name;
      wellKnownNameTaken_ = name.data() != std::string_view(wellKnown);
      break;
    }
    error = GetLastError();  // e.g. no right to create global objects: the session's namespace next
  }
  if (!section_) return static_cast<std::int32_t>(error);
  view_ = MapViewOfFile(section_, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, packetfilter::kSectionSize);
  if (!view_) {
    error = GetLastError();
    Close();
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
  name_ = {};
  wellKnownNameTaken_ = false;
}

}  // namespace palisor::fwdll
