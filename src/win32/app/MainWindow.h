// The main window, class TForm1: the window the hook library sends its events to, and the home
// of the lists, switches and menus.
#pragma once

#include "core/app/Firewall.h"
#include "win32/ui/Window.h"

namespace palisor::win32 {

class MainWindow final : public Window {
 public:
  static constexpr const char* kClassName = "TForm1";
  static constexpr const char* kCaption = "Palisor";
  static constexpr int kWidth = 780, kHeight = 671, kMinWidth = 780, kMinHeight = 580;

  explicit MainWindow(app::Firewall& firewall) : firewall_(firewall) {}
  bool Create();

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  LRESULT OnCopyData(WPARAM wParam, LPARAM lParam);

  app::Firewall& firewall_;
};

}  // namespace palisor::win32
