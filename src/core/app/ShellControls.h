// What the firewall's start and stop change in the window: the core calls these in the order the
// window must apply them; the main window implements them, tests record them.
#pragma once

#include <string>

namespace palisor::app {

enum class TrayPicture { Started, Stopped };  // the pictures of FwlOn and FwlOff

class ShellControls {
 public:
  virtual ~ShellControls() = default;
  virtual void SetStartButtonCaption(const std::string& caption) = 0;  // pStartFwl
  virtual void SetStartMenuCaption(const std::string& caption) = 0;    // Startfirewall1
  virtual void SetTrayIcon(TrayPicture picture, const std::string& tip) = 0;
  virtual void EnableBlinkTimer(bool enabled) = 0;           // Timer1
  virtual void EnableProcessListTimer(bool enabled) = 0;     // Timer4
  virtual void RefreshProcessList() = 0;                     // RefreshProcessList
  virtual void SelectTab(int index) = 0;                     // MainPanel
};

}  // namespace palisor::app
