#include "win32/app/ProcessListWorker.h"

#include <utility>

namespace palisor::win32 {

ProcessListWorker::ProcessListWorker(platform::ProcessSystem& system, HWND window, UINT message)
    : system_(system), window_(window), message_(message), thread_([this] { Work(); }) {}

ProcessListWorker::~ProcessListWorker() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void ProcessListWorker::Request(Ticket ticket) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requested_ = ticket;
  }
  wake_.notify_one();
}

std::optional<ProcessListWorker::List> ProcessListWorker::TakeReady() {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::exchange(ready_, std::nullopt);
}

void ProcessListWorker::Work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || requested_; });
    if (stopping_) return;
    const Ticket ticket = *std::exchange(requested_, std::nullopt);
    lock.unlock();
    List list{ticket, processes::ProcessMonitor::TakeProcessList(system_)};
    lock.lock();
    ready_ = std::move(list);
    PostMessageA(window_, message_, 0, 0);
  }
}

}  // namespace palisor::win32
