// Takes process lists on a thread of its own, so that the refreshes that come by themselves
// (Timer4, the firewall's start) never hold up the window that answers the guarded programs'
// events: under Wine a snapshot of 300 processes takes about 100 ms. Request() asks for a list;
// a request made while a list is being taken waits for it, and only the newest of several waiting
// requests is served. When a list is ready the window gets `message`; its handler calls TakeReady()
// and shows what it returns.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "core/platform/ProcessSystem.h"
#include "core/processes/ProcessMonitor.h"

namespace palisor::win32 {

class ProcessListWorker {
 public:
  using Ticket = processes::ProcessMonitor::Ticket;
  struct List {
    Ticket ticket = 0;
    std::vector<stores::Row> rows;
  };

  // `system` is used by the worker's thread alone from now on.
  ProcessListWorker(platform::ProcessSystem& system, HWND window, UINT message);
  ~ProcessListWorker();  // lets the list being taken finish, then ends the thread
  ProcessListWorker(const ProcessListWorker&) = delete;
  ProcessListWorker& operator=(const ProcessListWorker&) = delete;

  void Request(Ticket ticket);
  // The list taken last, if one is ready and was not taken before.
  std::optional<List> TakeReady();

 private:
  void Work();

  platform::ProcessSystem& system_;
  const HWND window_;
  const UINT message_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::optional<Ticket> requested_;
  std::optional<List> ready_;
  bool stopping_ = false;
  std::thread thread_;  // last: starts once the members above exist
};

}  // namespace palisor::win32
