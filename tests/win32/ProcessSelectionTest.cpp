// Which processes the hook library may go into, by the width of the program that places it and of
// the process: a library of the other width would not load, and the remote thread started at the
// placer's LoadLibraryA would crash the process.
#include <gtest/gtest.h>
#include <windows.h>

#include "placement/ProcessSelection.h"

namespace palisor::placement {
namespace {

TEST(ProcessSelection, TheLibraryGoesOnlyIntoProcessesOfItsOwnWidth) {
  struct Case {
    const char* what;
    Wow64 own, process;
    bool fits;
  } cases[] = {
      {"32-bit placer, 32-bit process on 64-bit Windows", Wow64::Yes, Wow64::Yes, true},
      {"32-bit placer, 64-bit process", Wow64::Yes, Wow64::No, false},
      {"64-bit placer, 32-bit process", Wow64::No, Wow64::Yes, false},
      {"64-bit placer, 64-bit process (or 32-bit Windows)", Wow64::No, Wow64::No, true},
      {"placer on a system without WoW64", Wow64::Unknown, Wow64::No, true},
      {"native placer, a process too new to tell its width", Wow64::No, Wow64::Unknown, true},
      {"32-bit placer, a process too new to tell its width", Wow64::Yes, Wow64::Unknown, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(LibraryFits(c.own, c.process), c.fits);
  }
}

TEST(ProcessSelection, PlacingHelpersAreToldByTheirFileName) {
  struct Case {
    const char* path;
    bool helper;
  } cases[] = {
      {"C:\\Program Files (x86)\\Palisor\\PalisorHelper64.exe", true},
      {"C:\\Palisor\\palisorhelper32.EXE", true},
      {"PalisorHelper32.exe", true},
      {"C:/Palisor/PalisorHelper64.exe", true},
      {"C:\\Palisor\\PalisorHelper64.exe.bak", false},
      {"C:\\Palisor\\MyPalisorHelper64.exe", false},
      {"C:\\PalisorHelper64.exe\\sleeper.exe", false},
      {"C:\\Palisor\\Palisor.exe", false},
      {"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(IsPlacingHelper(c.path), c.helper);
  }
}

TEST(ProcessSelection, ThisProgramsOwnKindFits) { EXPECT_TRUE(LibraryFits(GetCurrentProcess())); }

}  // namespace
}  // namespace palisor::placement
