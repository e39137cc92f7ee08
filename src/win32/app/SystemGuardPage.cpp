#include "win32/app/SystemGuardPage.h"

#include <commctrl.h>

#include "core/settings/SwitchHandlers.h"
#include "win32/app/ControlIds.h"

namespace palisor::win32 {

namespace {
const std::initializer_list<ListView::Column> kAppColumns = {
    {"Application", 110}, {"File / DLL / Command Line", 110}, {"Application signature", 110}, {"Operation", 70}};

// The four columns share the list's width: application, file, signature, operation.
void FitAppColumns(ListView& list, int width) {
  const int usable = width - GetSystemMetrics(SM_CXVSCROLL) - 6;
  const int shares[] = {28, 26, 30, 16};
  for (int column = 0; column < 4; ++column) list.SetColumnWidth(column, usable * shares[column] / 100);
}
}  // namespace

void SystemGuardPage::CreateControls() {
  HWND page = hwnd();
  cbSyswatch_.Create(page, "Enable system guard", {12, 8, 180, 20}, ids::kCbSyswatch, true);
  cbLogApp_.Create(page, "Log system guard events", {12, 30, 180, 20}, ids::kCbLogApp, true);
  cbLearning_.Create(page, "Enable learning mode", {12, 52, 180, 20}, ids::kCbLearning, true);
  rgVerbose_.Create(page, " Logging level ", {"All events", "DROP only"}, {208, 6, 250, 50}, ids::kRgVerbose, 2);
  rgVerbose_.SetItemIndex(static_cast<int>(settings::LoggingLevel::DropOnly));

  allowedGroup_.Create(page, "   Allowed Applications List  ", {8, 80, 300, 150}, ids::kAllowedGroup);
  allowedGroup_.SetCaptionColor(kAllowedColor);
  lbAllowedApps_.Create(allowedGroup_.hwnd(), ids::kLbAllowedApps, allowedGroup_.Inner(), kAppColumns, {});
  forbiddenGroup_.Create(page, "  Forbidden Applications List  ", {316, 80, 300, 150}, ids::kForbiddenGroup);
  forbiddenGroup_.SetCaptionColor(kForbiddenColor);
  lbForbiddenApps_.Create(forbiddenGroup_.hwnd(), ids::kLbForbiddenApps, forbiddenGroup_.Inner(), kAppColumns, {});
  lbForbiddenApps_.SetTextColor(kForbiddenColor);

  processGroup_.Create(page, "  Running processes  ", {8, 236, 600, 150}, ids::kProcessGroup);
  grid_.Create(processGroup_.hwnd(), ids::kGrid, processGroup_.Inner(),
               {{"Process Name", 250}, {"Process ID", 100}, {"Filepath", 400}},
               {.header = true, .gridLines = true, .movableColumns = true});
  statusBar1_.Create(processGroup_.hwnd(), {0, 0, 100, 20}, ids::kStatusBar1);

  popupMenu7_.Create({{ids::kClearAplicationList1, "Clear aplication list"},
                      {ids::kDeleteEntry1, "Delete entry"},
                      {MenuItem::kSeparator, "-"},
                      {ids::kMoveToDeny1, "Deny selected application"}});
  popupMenu8_.Create({{ids::kClearForbiddenAppsList1, "Clear application list"},
                      {ids::kDeleteEntry2, "Delete entry"},
                      {MenuItem::kSeparator, "-"},
                      {ids::kAllowSelectedApplication1, "Allow selected application"}});
  popupMenu10_.Create({{ids::kRefresh1, "Show process list", "Ctrl+P"},
                       {ids::kCloseProcess1, "Close process", "Ctrl+C"},
                       {MenuItem::kSeparator, "-"},
                       {ids::kAllowThisProcess1, "Allow this process"},
                       {ids::kDenyThisProcess1, "Deny this process"},
                       {MenuItem::kSeparator, "-"},
                       {ids::kProcessListUpdateSpeed1, "Process list update speed"}});
}

void SystemGuardPage::Layout(int width, int height) {
  const int top = 80;
  const int available = height - top - 8 - 6;
  const int listsHeight = available * 55 / 100;
  const int half = (width - 24) / 2;
  allowedGroup_.Move({8, top, half, listsHeight});
  lbAllowedApps_.Move(allowedGroup_.Inner());
  forbiddenGroup_.Move({16 + half, top, width - 24 - half, listsHeight});
  lbForbiddenApps_.Move(forbiddenGroup_.Inner());
  FitAppColumns(lbAllowedApps_, allowedGroup_.Inner().width);
  FitAppColumns(lbForbiddenApps_, forbiddenGroup_.Inner().width);
  processGroup_.Move({8, top + listsHeight + 6, width - 16, available - listsHeight});
  Bounds inner = processGroup_.Inner();
  const int statusHeight = 20;
  grid_.Move({inner.x, inner.y, inner.width, inner.height - statusHeight});
  statusBar1_.Move({inner.x, inner.y + inner.height - statusHeight, inner.width, statusHeight});
}

void SystemGuardPage::BindLists() {
  lbAllowedApps_.Bind(&firewall_.Lists().allowedApps);
  lbForbiddenApps_.Bind(&firewall_.Lists().forbiddenApps);
}

void SystemGuardPage::ShowSettings(const settings::Settings& settings) {
  cbSyswatch_.SetChecked(settings.systemGuard);
  cbLogApp_.SetChecked(settings.logSystemEvents);
  cbLearning_.SetChecked(settings.learningMode);
  rgVerbose_.SetItemIndex(static_cast<int>(settings.loggingLevel));
  rgVerbose_.Show(settings::LoggingLevelVisible(settings));
}

bool SystemGuardPage::Command(int id, int notifyCode) {
  if (rgVerbose_.OwnsId(id)) {
    if (notifyCode == BN_CLICKED) rgVerboseClick();
    return true;
  }
  switch (id) {
    case ids::kCbSyswatch: cbSyswatchClick(); return true;
    case ids::kCbLogApp: cbLogAppClick(); return true;
    case ids::kCbLearning: cbLearningClick(); return true;
    case ids::kClearAplicationList1: Clearaplicationlist1Click(); return true;
    case ids::kDeleteEntry1: Deleteentry1Click(); return true;
    case ids::kMoveToDeny1: MovetoDENY1Click(); return true;
    case ids::kClearForbiddenAppsList1: Clearforbiddenappslist1Click(); return true;
    case ids::kDeleteEntry2: Deleteentry2Click(); return true;
    case ids::kAllowSelectedApplication1: Allowselectedapplication1Click(); return true;
    case ids::kRefresh1: Refresh1Click(); return true;
    case ids::kCloseProcess1: Closeprocess1Click(); return true;
    case ids::kAllowThisProcess1: Allowthisprocess1Click(); return true;
    case ids::kDenyThisProcess1: Denythisprocess1Click(); return true;
    case ids::kProcessListUpdateSpeed1: Processlistupdatespeed1Click(); return true;
    default: return false;
  }
}

bool SystemGuardPage::Notify(const NMHDR& header, LRESULT& result) {
  if (header.hwndFrom == grid_.hwnd() && header.code == LVN_KEYDOWN) {
    GridKeyDown(reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey);
    result = 0;
    return true;
  }
  return lbAllowedApps_.OnNotify(header, result) || lbForbiddenApps_.OnNotify(header, result) ||
         grid_.OnNotify(header, result);
}

bool SystemGuardPage::ContextMenu(HWND control, POINT screen) {
  const PopupMenu* menu = control == lbAllowedApps_.hwnd()     ? &popupMenu7_
                          : control == lbForbiddenApps_.hwnd() ? &popupMenu8_
                          : control == grid_.hwnd()            ? &popupMenu10_
                                                               : nullptr;
  if (!menu) return false;
  menu->Show(hwnd(), MenuPoint(control, screen));
  return true;
}

void SystemGuardPage::cbSyswatchClick() { firewall_.Settings().systemGuard = cbSyswatch_.Checked(); }

void SystemGuardPage::cbLogAppClick() {
  settings::SetLogSystemEvents(firewall_.Settings(), cbLogApp_.Checked());
  host_.ShowSettings();
}

void SystemGuardPage::cbLearningClick() {
  settings::SetLearningMode(firewall_.Settings(), cbLearning_.Checked());
  host_.ShowSettings();
}

void SystemGuardPage::rgVerboseClick() {
  firewall_.Settings().loggingLevel = static_cast<settings::LoggingLevel>(rgVerbose_.ItemIndex());
}

void SystemGuardPage::Clearaplicationlist1Click() { firewall_.AppListCommands().ClearAllowedList(); }
void SystemGuardPage::Deleteentry1Click() { firewall_.AppListCommands().DeleteSelectedAllowed(); }
void SystemGuardPage::MovetoDENY1Click() { firewall_.AppListCommands().MoveSelectedAllowedToForbidden(); }
void SystemGuardPage::Clearforbiddenappslist1Click() { firewall_.AppListCommands().ClearForbiddenList(); }
void SystemGuardPage::Deleteentry2Click() { firewall_.AppListCommands().DeleteSelectedForbidden(); }
void SystemGuardPage::Allowselectedapplication1Click() {
  firewall_.AppListCommands().MoveSelectedForbiddenToAllowed();
}

void SystemGuardPage::SetProcessMonitor(processes::ProcessMonitor* monitor) {
  monitor_ = monitor;
  grid_.Bind(monitor ? &monitor->grid : nullptr);
}

void SystemGuardPage::Refresh1Click() {
  if (monitor_) monitor_->RefreshProcessList();
}

void SystemGuardPage::Closeprocess1Click() {
  if (!monitor_) return;
  if (std::optional<std::string> failure = monitor_->CloseSelectedProcess()) host_.ShowMessage(*failure);
}

void SystemGuardPage::Allowthisprocess1Click() {
  if (monitor_) monitor_->AllowSelectedProcess();
}

void SystemGuardPage::Denythisprocess1Click() {
  if (monitor_) monitor_->DenySelectedProcess();
}

// PopupMenu10's shortcuts, Ctrl+P and Ctrl+C, belong to the grid: they act while it has the
// keyboard focus and nowhere else (Ctrl+C in another list must not end a process).
void SystemGuardPage::GridKeyDown(WORD key) {
  const bool controlOnly = GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_SHIFT) >= 0 && GetKeyState(VK_MENU) >= 0;
  if (!controlOnly) return;
  if (key == 'P') Refresh1Click();
  if (key == 'C') Closeprocess1Click();
}

void SystemGuardPage::Processlistupdatespeed1Click() {
  if (!monitor_) return;
  std::string value = std::to_string(monitor_->Interval());
  if (!host_.InputQuery("Palisor", "Process list update speed [ms]", value)) return;
  host_.SetProcessListInterval(monitor_->SetRefreshInterval(value));
}

}  // namespace palisor::win32
