#include "win32/app/ActivityLogPage.h"

#include "win32/app/ControlIds.h"

namespace palisor::win32 {

void ActivityLogPage::CreateControls() {
  HWND page = hwnd();
  label2_.Create(page, "Traffic Log", {8, 6, 200, 16}, ids::kLabel2);
  label2_.SetFont(UiBoldFont());
  trafficLog_.Create(page, ids::kTrafficLog, {8, 24, 600, 200},
                     {{"Date and Time", 134}, {"Application", 118}, {"Protocol", 60}, {"Source IP", 80},
                      {"Src. Port", 64}, {"Dest. IP", 92}, {"Dest. Port", 70}, {"Action", 50}, {"Hits", 36},
                      {"Operation", 70}},
                     {});
  label1_.Create(page, "System log", {8, 230, 200, 16}, ids::kLabel1);
  label1_.SetFont(UiBoldFont());
  sysLog_.Create(page, ids::kSysLog, {8, 248, 600, 100}, {{"", 600}}, {.header = false, .gridLines = false});

  popupMenu2_.Create({{ids::kClear1, "Clear system log"}});
  popupMenu3_.Create({{ids::kClearTrafficLog1, "Clear traffic log"},
                      {MenuItem::kSeparator, "-"},
                      {ids::kAddWithDeny, "Add entry to traffic rules list with DENY"},
                      {ids::kAddWithAllow, "Add entry to traffic rules list with ALLOW"},
                      {MenuItem::kSeparator, "-"},
                      {ids::kBlockThisApplication1, "Block this application"},
                      {ids::kBlockThisDestination1, "Block this destination"},
                      {ids::kBlockThisSource1, "Block this source"},
                      {MenuItem::kSeparator, "-"},
                      {ids::kAllowThisApplication1, "Allow this application"},
                      {ids::kAllowThisDestination1, "Allow this destination"},
                      {ids::kAllowThisSource1, "Allow this source"}});
}

void ActivityLogPage::Layout(int width, int height) {
  const int trafficHeight = (height - 60) * 60 / 100;
  trafficLog_.Move({8, 24, width - 16, trafficHeight});
  label1_.Move({8, 24 + trafficHeight + 8, 200, 16});
  const int sysTop = 24 + trafficHeight + 26;
  sysLog_.Move({8, sysTop, width - 16, height - sysTop - 8});
  sysLog_.SetColumnWidth(0, width - 16 - GetSystemMetrics(SM_CXVSCROLL) - 6);
}

void ActivityLogPage::BindLists() {
  trafficLog_.Bind(&firewall_.TrafficLog().rows);
  sysLog_.Bind(&firewall_.SystemLog().rows);
}

bool ActivityLogPage::Command(int id, int notifyCode) {
  (void)notifyCode;
  switch (id) {
    case ids::kClear1: firewall_.LogCommands().ClearSystemLog(); return true;
    case ids::kClearTrafficLog1: firewall_.LogCommands().ClearTrafficLog(); return true;
    case ids::kAddWithDeny: AddWithDenyClick(); return true;
    case ids::kAddWithAllow: AddWithAllowClick(); return true;
    case ids::kBlockThisApplication1: Blockthisapplication1Click(); return true;
    case ids::kBlockThisDestination1: Blockthisdestination1Click(); return true;
    case ids::kBlockThisSource1: Blockthissource1Click(); return true;
    case ids::kAllowThisApplication1: Allowthisapplication1Click(); return true;
    case ids::kAllowThisDestination1: Allowthisdestination1Click(); return true;
    case ids::kAllowThisSource1: Allowthissource1Click(); return true;
    default: return false;
  }
}

void ActivityLogPage::AddWithDenyClick() { firewall_.TrafficRuleCommands().DenySelectedConnection(); }
void ActivityLogPage::AddWithAllowClick() { firewall_.TrafficRuleCommands().AllowSelectedConnection(); }
void ActivityLogPage::Blockthisapplication1Click() { firewall_.TrafficRuleCommands().BlockSelectedApplication(); }
void ActivityLogPage::Blockthisdestination1Click() { firewall_.TrafficRuleCommands().BlockSelectedDestination(); }
void ActivityLogPage::Blockthissource1Click() { firewall_.TrafficRuleCommands().BlockSelectedSource(); }
void ActivityLogPage::Allowthisapplication1Click() { firewall_.TrafficRuleCommands().AllowSelectedApplication(); }
void ActivityLogPage::Allowthisdestination1Click() { firewall_.TrafficRuleCommands().AllowSelectedDestination(); }
void ActivityLogPage::Allowthissource1Click() { firewall_.TrafficRuleCommands().AllowSelectedSource(); }

bool ActivityLogPage::Notify(const NMHDR& header, LRESULT& result) {
  return trafficLog_.OnNotify(header, result) || sysLog_.OnNotify(header, result);
}

bool ActivityLogPage::ContextMenu(HWND control, POINT screen) {
  if (control == trafficLog_.hwnd()) {
    popupMenu3_.Show(hwnd(), MenuPoint(control, screen));
    return true;
  }
  if (control == sysLog_.hwnd()) {
    popupMenu2_.Show(hwnd(), MenuPoint(control, screen));
    return true;
  }
  return false;
}

}  // namespace palisor::win32
