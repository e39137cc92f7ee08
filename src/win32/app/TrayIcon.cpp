#include "win32/app/TrayIcon.h"

#include <shellapi.h>

#include <cstring>

namespace palisor::win32 {

TrayIcon::TrayIcon(HWND window, HICON started, HICON stopped) : started_(started), stopped_(stopped) {
  record_.cbSize = sizeof record_;
  record_.hWnd = window;
  record_.uID = 0;
  record_.uFlags = kFlags;
  record_.uCallbackMessage = kCallbackMessage;
}

TrayIcon::~TrayIcon() { Remove(); }

void TrayIcon::Add(app::TrayPicture picture, const std::string& tip) {
  picture_ = picture;
  record_.hIcon = picture == app::TrayPicture::Started ? started_ : stopped_;
  CopyTip(tip);
  Notify(NIM_ADD);
  shown_ = true;
}

void TrayIcon::SetPicture(app::TrayPicture picture) {
  picture_ = picture;
  record_.hIcon = picture == app::TrayPicture::Started ? started_ : stopped_;
  if (shown_) Notify(NIM_MODIFY);
}

void TrayIcon::SetTip(const std::string& tip) {
  CopyTip(tip);
  if (shown_) Notify(NIM_MODIFY);
}

void TrayIcon::CopyTip(const std::string& tip) {
  std::size_t length = tip.size() < sizeof record_.szTip - 1 ? tip.size() : sizeof record_.szTip - 1;
  std::memset(record_.szTip, 0, sizeof record_.szTip);
  std::memcpy(record_.szTip, tip.data(), length);
}

void TrayIcon::Remove() {
  if (!shown_) return;
  Notify(NIM_DELETE);
  shown_ = false;
}

void TrayIcon::Notify(DWORD action) {
  Shell_NotifyIconA(action, reinterpret_cast<NOTIFYICONDATAA*>(&record_));
}

}  // namespace palisor::win32
