// The tab "System Guard" (SystemGuard): the system guard's switches and logging level, the
// allowed and forbidden application lists, and the running processes.
#pragma once

#include "core/app/Firewall.h"
#include "core/processes/ProcessMonitor.h"
#include "win32/app/PageHost.h"
#include "win32/app/TabPage.h"
#include "win32/ui/Controls.h"
#include "win32/ui/GroupPanel.h"
#include "win32/ui/ListView.h"
#include "win32/ui/Menu.h"
#include "win32/ui/RadioGroup.h"

namespace palisor::win32 {

class SystemGuardPage final : public TabPage {
 public:
  static constexpr COLORREF kAllowedColor = RGB(0, 128, 0);
  static constexpr COLORREF kForbiddenColor = RGB(255, 0, 0);

  SystemGuardPage(app::Firewall& firewall, PageHost& host) : firewall_(firewall), host_(host) {}

  void Layout(int width, int height) override;
  bool Command(int id, int notifyCode) override;

  void BindLists();
  // The process list's core (none: the grid stays empty and its menu does nothing).
  void SetProcessMonitor(processes::ProcessMonitor* monitor);
  void ShowSettings(const settings::Settings& settings);

  ListView& AllowedApps() { return lbAllowedApps_; }
  ListView& ForbiddenApps() { return lbForbiddenApps_; }
  ListView& ProcessGrid() { return grid_; }
  const RadioGroup& Verbose() const { return rgVerbose_; }
  const PopupMenu& PopupMenu7() const { return popupMenu7_; }
  const PopupMenu& PopupMenu8() const { return popupMenu8_; }
  const PopupMenu& PopupMenu10() const { return popupMenu10_; }

 protected:
  void CreateControls() override;
  bool Notify(const NMHDR& header, LRESULT& result) override;
  bool ContextMenu(HWND control, POINT screen) override;

 private:
  void cbSyswatchClick();
  void cbLogAppClick();
  void cbLearningClick();
  void rgVerboseClick();
  void Clearaplicationlist1Click();
  void Deleteentry1Click();
  void MovetoDENY1Click();
  void Clearforbiddenappslist1Click();
  void Deleteentry2Click();
  void Allowselectedapplication1Click();
  void Refresh1Click();
  void Closeprocess1Click();
  void Allowthisprocess1Click();
  void Denythisprocess1Click();
  void Processlistupdatespeed1Click();
  void GridKeyDown(WORD key);

  app::Firewall& firewall_;
  PageHost& host_;
  processes::ProcessMonitor* monitor_ = nullptr;

  CheckBox cbSyswatch_, cbLogApp_, cbLearning_;
  RadioGroup rgVerbose_;
  GroupPanel allowedGroup_, forbiddenGroup_, processGroup_;
  ListView lbAllowedApps_, lbForbiddenApps_, grid_;
  StatusBar statusBar1_;
  PopupMenu popupMenu7_, popupMenu8_, popupMenu10_;
};

}  // namespace palisor::win32
