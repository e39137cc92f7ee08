// The program runs once: a second copy, recognised by its executable's file name, ends at once.
#pragma once

#include <string_view>

namespace palisor::win32 {

// Processes in a snapshot whose executable file name, upper-cased (ASCII letters), is "PALISOR"
// or "PALISOR.EXE". The count includes the calling copy; 0 when the snapshot fails.
int CountPalisorProcesses();

// True when `exeFile` (a snapshot entry's file name) names the program.
bool IsPalisorExecutable(std::string_view exeFile);

}  // namespace palisor::win32
