// The tray icon, the window's visibility, and what the firewall's start and stop change in the
// window (ShellControls).
#include "win32/app/ControlIds.h"
#include "win32/app/MainWindow.h"

#include <utility>

namespace palisor::win32 {

// Every 400 ms: while stopped the icon alternates between the two pictures; once started the
// next tick shows the started picture and stops the timer. The tip is not touched.
void MainWindow::Timer1Timer() {
  if (FirewallStarted()) {
    SetTimerEnabled(kTimer1, false);
    tray_->SetPicture(app::TrayPicture::Started);
    return;
  }
  blinkPhase_ = !blinkPhase_;
  tray_->SetPicture(blinkPhase_ ? app::TrayPicture::Started : app::TrayPicture::Stopped);
}

void MainWindow::OnTrayNotification(LPARAM mouseMessage) {
  if (mouseMessage == WM_RBUTTONUP) {
    POINT cursor{};
    GetCursorPos(&cursor);
    ShowPopupMenu1(cursor);
  } else if (mouseMessage == WM_LBUTTONDBLCLK) {
    Hide1Click();
  }
}

// Decided by the window's actual visibility, not by the caption.
void MainWindow::Hide1Click() {
  if (IsWindowVisible(hwnd())) {
    ShowWindow(hwnd(), SW_HIDE);
    popupMenu1_.SetCaption(ids::kHide1, "Show");
  } else {
    ShowWindow(hwnd(), SW_SHOW);
    popupMenu1_.SetCaption(ids::kHide1, "Hide");
  }
}

// Minimize and Close from the title bar only hide the window.
bool MainWindow::WMSysCommand(WPARAM command) {
  const WPARAM which = command & 0xFFF0;
  if (which != SC_MINIMIZE && which != SC_CLOSE) return false;
  ShowWindow(hwnd(), SW_HIDE);
  return true;
}

void MainWindow::SetStartButtonCaption(const std::string& caption) { networkPanel_.SetStartButtonCaption(caption); }

void MainWindow::SetStartMenuCaption(const std::string& caption) {
  popupMenu1_.SetCaption(ids::kStartFirewall1, caption);
}

void MainWindow::SetTrayIcon(app::TrayPicture picture, const std::string& tip) {
  tray_->SetPicture(picture);
  tray_->SetTip(tip);
}

void MainWindow::EnableBlinkTimer(bool enabled) { SetTimerEnabled(kTimer1, enabled); }

void MainWindow::EnableProcessListTimer(bool enabled) { SetTimerEnabled(kTimer4, enabled); }

// The refreshes of Timer4 and of the firewall's start; those the user asks for run at once.
void MainWindow::RefreshProcessList() {
  processes::ProcessMonitor* monitor = options_.processMonitor;
  if (!monitor) return;
  if (processListWorker_) {
    processListWorker_->Request(monitor->NextTicket());
  } else {
    monitor->RefreshProcessList();
  }
}

void MainWindow::ShowReadyProcessList() {
  if (!processListWorker_) return;
  if (std::optional<ProcessListWorker::List> list = processListWorker_->TakeReady()) {
    options_.processMonitor->ShowProcessList(std::move(list->rows), list->ticket);
  }
}

}  // namespace palisor::win32
