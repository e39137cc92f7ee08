#include "win32/app/SingleInstance.h"
#include "win32/platform/UniqueHandle.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cstring>

#include "core/support/AuxStr.h"

namespace palisor::win32 {

static_assert(sizeof(PROCESSENTRY32) == (sizeof(void*) == 4 ? 296 : 304), "the snapshot's process entry record");

bool IsPalisorExecutable(std::string_view exeFile) {
  const std::string upper = support::AuxUpperCase(exeFile);
  return upper == "PALISOR" || upper == "PALISOR.EXE";
}

int CountPalisorProcesses() {
  const UniqueHandle owned(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  HANDLE snapshot = owned.get();
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  int count = 0;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    if (IsPalisorExecutable(std::string_view(entry.szExeFile, strnlen(entry.szExeFile, sizeof entry.szExeFile)))) {
      ++count;
    }
  }
  return count;
}

}  // namespace palisor::win32
