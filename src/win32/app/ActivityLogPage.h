// The tab "Activity Log" (LogPanel): the traffic log and the system log.
#pragma once

#include "core/app/Firewall.h"
#include "win32/app/TabPage.h"
#include "win32/ui/Controls.h"
#include "win32/ui/ListView.h"
#include "win32/ui/Menu.h"

namespace palisor::win32 {

class ActivityLogPage final : public TabPage {
 public:
  explicit ActivityLogPage(app::Firewall& firewall) : firewall_(firewall) {}

  void Layout(int width, int height) override;
  bool Command(int id, int notifyCode) override;
  void BindLists();

  ListView& TrafficLog() { return trafficLog_; }
  ListView& SysLog() { return sysLog_; }
  const PopupMenu& PopupMenu2() const { return popupMenu2_; }
  const PopupMenu& PopupMenu3() const { return popupMenu3_; }

 protected:
  void CreateControls() override;
  bool Notify(const NMHDR& header, LRESULT& result) override;
  bool ContextMenu(HWND control, POINT screen) override;

 private:
  // PopupMenu3 of TrafficLog: rules made from the selected row.
  void AddWithDenyClick();
  void AddWithAllowClick();
  void Blockthisapplication1Click();
  void Blockthisdestination1Click();
  void Blockthissource1Click();
  void Allowthisapplication1Click();
  void Allowthisdestination1Click();
  void Allowthissource1Click();

  app::Firewall& firewall_;
  Label label2_, label1_;
  ListView trafficLog_, sysLog_;
  PopupMenu popupMenu2_, popupMenu3_;
};

}  // namespace palisor::win32
