// The icon in the notification area: one record for the life of the main window, in the layout
// of the first version of the shell's notification-icon record (88 bytes). Every call passes the
// whole record; results are not checked (a failed add or update changes nothing else).
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <string>

#include "core/app/ShellControls.h"

namespace palisor::win32 {

// NOTIFYICONDATAA as the first shell version knows it.
struct NotifyIconRecordV1 {
  std::uint32_t cbSize;
  HWND hWnd;
  std::uint32_t uID;
  std::uint32_t uFlags;
  std::uint32_t uCallbackMessage;
  HICON hIcon;
  char szTip[64];
};
static_assert(sizeof(NotifyIconRecordV1) == NOTIFYICONDATAA_V1_SIZE, "the first version of the record");

class TrayIcon {
 public:
  static constexpr UINT kCallbackMessage = WM_USER + 1;  // 0x401
  static constexpr std::uint32_t kFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;  // 7

  // The two pictures (FwlOn, FwlOff); the caller keeps them alive.
  TrayIcon(HWND window, HICON started, HICON stopped);
  ~TrayIcon();
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  // NIM_ADD with the given picture and tip.
  void Add(app::TrayPicture picture, const std::string& tip);
  // NIM_MODIFY: a new picture and/or tip.
  void SetPicture(app::TrayPicture picture);
  void SetTip(const std::string& tip);
  // NIM_DELETE; later updates do nothing until the next Add.
  void Remove();

  bool Shown() const { return shown_; }
  app::TrayPicture Picture() const { return picture_; }
  std::string Tip() const { return record_.szTip; }
  const NotifyIconRecordV1& Record() const { return record_; }

 private:
  void Notify(DWORD action);
  void CopyTip(const std::string& tip);  // cut to 63 characters and a zero

  NotifyIconRecordV1 record_{};
  HICON started_, stopped_;
  app::TrayPicture picture_ = app::TrayPicture::Stopped;
  bool shown_ = false;
};

}  // namespace palisor::win32
