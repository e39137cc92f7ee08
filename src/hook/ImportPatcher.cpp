#include "hook/ImportPatcher.h"

#include <windows.h>
#include <psapi.h>

#include <cstdint>
#include <new>
#include <vector>

#include "hook/HookRuntime.h"
#include "hook/HookTable.h"

namespace palisor::hook {
namespace {

struct PatchedSlot {
  void** slot;
  void* original;
  void* hook;
};

std::vector<PatchedSlot> g_patched;  // under the runtime lock

constexpr std::uintptr_t kPageSize = 4096;
constexpr DWORD kMaxModules = 1024;

// The import address slots of one mapped image whose values are intercepted functions. Every
// offset is checked against the image size before it is followed.
void CollectSlots(HMODULE module, std::vector<PatchedSlot>& slots) {
  auto* base = reinterpret_cast<std::uint8_t*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew <= 0 || dos->e_lfanew > 0x10000) return;
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  if (nt->Signature != IMAGE_NT_SIGNATURE || nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR_MAGIC) return;
  const DWORD imageSize = nt->OptionalHeader.SizeOfImage;
  if (nt->OptionalHeader.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_IMPORT) return;
  const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (directory.VirtualAddress == 0 || directory.VirtualAddress >= imageSize ||
      directory.Size > imageSize - directory.VirtualAddress) {
    return;
  }
  const auto* descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
  const std::size_t descriptorCount = directory.Size / sizeof(IMAGE_IMPORT_DESCRIPTOR);
  for (std::size_t d = 0; d < descriptorCount && descriptor[d].Name != 0; ++d) {
    const DWORD first = descriptor[d].FirstThunk;
    if (first == 0 || first >= imageSize) continue;
    auto** slot = reinterpret_cast<void**>(base + first);
    auto** end = reinterpret_cast<void**>(base + imageSize);
    for (; slot + 1 <= end && *slot != nullptr; ++slot) {
      if (void* hook = HookReplacing(*slot)) slots.push_back({slot, *slot, hook});
    }
  }
}

// Makes the pages of `slots` writable; false (with the pages put back) if one cannot be.
class WritablePages {
 public:
  bool Open(const std::vector<PatchedSlot>& slots) {
    for (const PatchedSlot& s : slots) {
      auto page = reinterpret_cast<std::uintptr_t>(s.slot) & ~(kPageSize - 1);
      if (!pages_.empty() && pages_.back().page == page) continue;
      bool known = false;
      for (const Page& p : pages_) known = known || p.page == page;
      if (known) continue;
      DWORD old = 0;
      if (!VirtualProtect(reinterpret_cast<void*>(page), kPageSize, PAGE_EXECUTE_READWRITE, &old)) return false;
      pages_.push_back({page, old});
    }
    return true;
  }
  ~WritablePages() {
    for (const Page& p : pages_) {
      DWORD ignored = 0;
      VirtualProtect(reinterpret_cast<void*>(p.page), kPageSize, p.protection, &ignored);
    }
  }

 private:
  struct Page {
    std::uintptr_t page;
    DWORD protection;
  };
  std::vector<Page> pages_;
};

void WriteSlot(void** slot, void* value) {
  InterlockedExchangePointer(slot, value);
}

bool SlotStillHolds(void** slot, void* value) {
  MEMORY_BASIC_INFORMATION info{};
  if (!VirtualQuery(slot, &info, sizeof info) || info.State != MEM_COMMIT) return false;
  if (info.Protect & (PAGE_NOACCESS | PAGE_GUARD)) return false;
  return *slot == value;
}

}  // namespace

bool PatchLoadedModules() {
  try {
    std::vector<HMODULE> modules(kMaxModules);
    DWORD bytes = 0;
    if (!EnumProcessModules(GetCurrentProcess(), modules.data(), kMaxModules * sizeof(HMODULE), &bytes)) return false;
    modules.resize(std::min<DWORD>(bytes / sizeof(HMODULE), kMaxModules));

    std::vector<PatchedSlot> slots;
    for (HMODULE module : modules) {
      if (module != SelfModule()) CollectSlots(module, slots);
    }
    if (slots.empty()) return true;
    g_patched.reserve(g_patched.size() + slots.size());
    WritablePages pages;
    if (!pages.Open(slots)) return false;
    for (const PatchedSlot& s : slots) WriteSlot(s.slot, s.hook);
    g_patched.insert(g_patched.end(), slots.begin(), slots.end());
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

void RestorePatchedSlots() {
  for (const PatchedSlot& s : g_patched) {
    if (!SlotStillHolds(s.slot, s.hook)) continue;
    DWORD old = 0;
    if (!VirtualProtect(s.slot, sizeof(void*), PAGE_EXECUTE_READWRITE, &old)) continue;
    InterlockedCompareExchangePointer(s.slot, s.original, s.hook);
    VirtualProtect(s.slot, sizeof(void*), old, &old);
  }
  g_patched.clear();
  g_patched.shrink_to_fit();
}

}  // namespace palisor::hook
