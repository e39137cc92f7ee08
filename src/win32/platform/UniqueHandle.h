// Owners of the Windows handles the front end opens: each closes its handle once, when it goes
// out of scope. A null handle, and INVALID_HANDLE_VALUE for kernel objects, owns nothing.
#pragma once

#include <windows.h>

#include <memory>

namespace palisor::win32 {

struct HandleCloser {
  void operator()(HANDLE handle) const {
    if (handle && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
};
// A kernel object: process, thread, snapshot, event, file mapping. get() gives the raw handle
// (INVALID_HANDLE_VALUE stays as it came, so a failed CreateToolhelp32Snapshot is still seen).
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

struct RegistryKeyCloser {
  void operator()(HKEY key) const {
    if (key) RegCloseKey(key);
  }
};
using UniqueRegistryKey = std::unique_ptr<std::remove_pointer_t<HKEY>, RegistryKeyCloser>;

}  // namespace palisor::win32
