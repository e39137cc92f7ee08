// The processes of the other width: on 64-bit Windows a 32-bit program (Palisor.exe, or a guarded
// 32-bit program) cannot place a library into a 64-bit process, nor a 64-bit program into a
// 32-bit one. Each width has a placing helper program, shipped beside Palisor.exe with the hook
// library of its width; a program runs the helper of the other width for those processes and
// reads back what it did (core/hooking/HelperReport.h). The helper is PalisorHelper.cpp's
// program; its command lines are made here.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "core/hooking/HelperReport.h"
#include "core/hooking/PlacementHandover.h"
#include "placement/ProcessSelection.h"

namespace palisor::placement {

// The files of each width, beside Palisor.exe.
inline constexpr const char* kHookLibrary32 = "PalisorDLL.dll";
inline constexpr const char* kHookLibrary64 = "PalisorDLL64.dll";
inline constexpr const char* kHelper32 = "PalisorHelper32.exe";
inline constexpr const char* kHelper64 = "PalisorHelper64.exe";

// A helper and the library it places, by full path.
struct OtherWidthFiles {
  std::string helper;
  std::string library;
};

// Whether the machine runs programs of the other width, told by this program's own width and its
// WoW64 state: a 64-bit program always has 32-bit neighbours; a 32-bit one has 64-bit ones only
// under WoW64.
bool OtherWidthExists(bool ownIs64Bit, Wow64 own);

// The helper and library of the other width in `directory` (with its trailing separator), when
// the machine runs programs of that width and both files are there.
std::optional<OtherWidthFiles> OtherWidthFilesIn(const std::string& directory);

// How long a helper may wait for its placements within an operation's wait limit: the rest is
// for its start and its report.
inline constexpr DWORD kHelperMarginMs = 1000;
inline DWORD HelperWaitLimit(DWORD waitLimitMs) {
  return waitLimitMs > 2 * kHelperMarginMs ? waitLimitMs - kHelperMarginMs : waitLimitMs / 2;
}

// One argument of a command line, quoted so that CommandLineToArgvW gives it back unchanged.
std::string QuoteArgument(const std::string& argument);

// The helper's command lines (after the program name). The target set is the injection engine's
// code; `handover` names the firewall, its packet filter section and (for `adopt`, which makes a
// secret of its own per process, and `child`, which hands none) no secret.
std::string PlaceCommand(DWORD waitLimitMs, const std::string& library, const hooking::PlacementHandover& handover,
                         std::int32_t targetSet);
std::string AdoptCommand(DWORD waitLimitMs, const std::string& library, const hooking::PlacementHandover& handover,
                         std::int32_t targetSet, const std::vector<DWORD>& processIds);
std::string ChildCommand(DWORD waitLimitMs, const std::string& library, const hooking::PlacementHandover& handover,
                         DWORD processId, DWORD threadId, bool keepSuspended);
std::string RemoveCommand(DWORD waitLimitMs, const std::string& library, std::int32_t targetSet);

// One run of a helper: started with a command line, read back when it ended.
class HelperRun {
 public:
  HelperRun() = default;  // not started
  // False when the helper could not be started.
  bool Start(const std::string& helperPath, const std::string& command);
  ~HelperRun();  // a helper still running is ended
  HelperRun(HelperRun&& other) noexcept;
  HelperRun(const HelperRun&) = delete;
  HelperRun& operator=(const HelperRun&) = delete;
  HelperRun& operator=(HelperRun&& other) noexcept;

  HANDLE Process() const { return process_; }  // null when not started
  // Waits until the helper ended or `deadline` (GetTickCount64 time) passed, reading what it
  // writes; a helper still running then is ended. While waiting, the messages sent to this
  // thread's windows are handled when `handleSentMessages`. Its report and exit code (nothing
  // when it did not end by itself).
  hooking::HelperReport Finish(ULONGLONG deadline, bool handleSentMessages, std::optional<DWORD>* exitCode = nullptr);

 private:
  void Drain();
  void Close();

  HANDLE process_ = nullptr;
  HANDLE output_ = nullptr;
  std::string received_;
};

}  // namespace palisor::placement
