#include "win32/app/NetworkGuardPage.h"

#include <commctrl.h>

#include "win32/app/ControlIds.h"
#include "win32/resources/ResourceIds.h"

namespace palisor::win32 {

void NetworkGuardPage::CreateControls() {
  HWND page = hwnd();
  HINSTANCE instance = GetModuleHandleA(nullptr);
  fwlOnIcon_ = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_FWLON), IMAGE_ICON, 32, 32, 0));
  fwlOffIcon_ = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_FWLOFF), IMAGE_ICON, 32, 32, 0));

  pStartFwl_.Create(page, kStartButtonDesignCaption, {8, 8, 200, 42}, ids::kPStartFwl);
  pStartFwl_.SetGlyph(fwlOnIcon_);
  pStartFwl_.SetFont(UiBoldFont());
  pEmgStop_.Create(page, "Block Internet Access", {8, 56, 200, 28}, ids::kPEmgStop);
  cbAutostart_.Create(page, "Auto start firewall", {12, 94, 196, 20}, ids::kCbAutostart, true);
  cbAutohide_.Create(page, "Start minimized", {12, 116, 196, 20}, ids::kCbAutohide, false);
  cbDoNetLog_.Create(page, "Enable traffic logging", {12, 138, 196, 20}, ids::kCbDoNetLog, false);
  fwlOn_.CreateIcon(page, fwlOnIcon_, {170, 138, 32, 32}, ids::kFwlOn);
  fwlOff_.CreateIcon(page, fwlOffIcon_, {170, 138, 32, 32}, ids::kFwlOff);

  label9_.Create(page, "Content filter", {224, 8, 200, 16}, ids::kLabel9);
  edContentLine_.Create(page, "", {224, 26, 200, 22}, ids::kEdContentLine, 255, ES_UPPERCASE);
  ReportEnterKey(edContentLine_);
  label13_.Create(page, "Apply rule", {432, 8, 80, 16}, ids::kLabel13);
  cbContentRule_.Create(page, {"DROP", "PASS"}, {432, 26, 80, 22}, ids::kCbContentRule, 0);
  bitBtn4_.Create(page, "Add Content Filter Rule", {520, 25, 170, 25}, ids::kBitBtn4);
  lbContentList_.Create(page, ids::kLbContentList, {224, 56, 300, 104}, {{"Pattern", 400}},
                        {.header = false, .gridLines = false});
  lbContentRules_.Create(page, ids::kLbContentRules, {530, 56, 90, 104}, {{"Action", 70}},
                         {.header = false, .gridLines = false, .disabled = true});
  rules_.Create(page, ids::kRules, {8, 168, 600, 200},
                {{"Application", 116}, {"Protocol", 62}, {"Source IP", 84}, {"Source Port", 80}, {"Dest. IP", 84},
                 {"Dest. Port", 72}, {"Action", 52}, {"Operation", 70}, {"Max Speed [Kbps]", 115}},
                {});

  popupMenu4_.Create({{ids::kClearTrafficRules1, "Clear traffic rules"},
                      {ids::kDeleteRule1, "Delete rule"},
                      {ids::kSaveRules1, "Save rules"}});
  popupMenu5_.Create({{ids::kClearContentRules1, "Clear content rules"},
                      {ids::kDeleteContentRule1, "Delete content rule"}});
}

void NetworkGuardPage::Layout(int width, int height) {
  const int right = width - 8;
  const int left = 224;
  const int ruleWidth = 80, buttonWidth = 170;
  const int editWidth = right - left - ruleWidth - buttonWidth - 16;
  edContentLine_.Move({left, 26, editWidth, 22});
  label13_.Move({left + editWidth + 8, 8, ruleWidth, 16});
  cbContentRule_.Move({left + editWidth + 8, 25, ruleWidth, 100});
  bitBtn4_.Move({right - buttonWidth, 24, buttonWidth, 25});
  const int verdictWidth = 96;
  lbContentList_.Move({left, 56, right - left - verdictWidth - 6, 104});
  lbContentRules_.Move({right - verdictWidth, 56, verdictWidth, 104});
  const int scrollBar = GetSystemMetrics(SM_CXVSCROLL);
  lbContentList_.SetColumnWidth(0, right - left - verdictWidth - 6 - scrollBar - 6);
  lbContentRules_.SetColumnWidth(0, verdictWidth - scrollBar - 6);
  rules_.Move({8, 168, width - 16, height - 176});
}

void NetworkGuardPage::BindLists() {
  stores::RuleLists& lists = firewall_.Lists();
  rules_.Bind(&lists.rules);
  lbContentList_.Bind(&lists.contentPatterns);
  lbContentRules_.Bind(&lists.contentActions);
}

void NetworkGuardPage::ShowSettings(const settings::Settings& settings) {
  cbAutostart_.SetChecked(settings.autostart);
  cbAutohide_.SetChecked(settings.startMinimized);
  cbDoNetLog_.SetChecked(settings.trafficLogging);
}

void NetworkGuardPage::SetEmergencyButton(const std::string& caption, COLORREF color) {
  pEmgStop_.SetText(caption);
  pEmgStop_.SetCaptionColor(color);
}

bool NetworkGuardPage::Command(int id, int notifyCode) {
  settings::Settings& settings = firewall_.Settings();
  switch (id) {
    case ids::kBitBtn4: pAddContentRuleClick(); return true;
    case ids::kEdContentLine:
      if (notifyCode == kEnterKeyNotification) pAddContentRuleClick();
      return true;
    case ids::kCbAutostart: settings.autostart = cbAutostart_.Checked(); return true;
    case ids::kCbAutohide: settings.startMinimized = cbAutohide_.Checked(); return true;
    case ids::kCbDoNetLog: settings.trafficLogging = cbDoNetLog_.Checked(); return true;
    case ids::kDeleteContentRule1: Deletecontentrule1Click(); return true;
    case ids::kClearContentRules1: Clearcontentrules1Click(); return true;
    case ids::kDeleteRule1: Deleterule1Click(); return true;
    case ids::kClearTrafficRules1: Cleartrafficrules1Click(); return true;
    case ids::kSaveRules1: return true;  // "Save rules": every change is already in the file
    case ids::kPEmgStop: pEmgStopClick(); return true;
    default: return false;
  }
}

bool NetworkGuardPage::Notify(const NMHDR& header, LRESULT& result) {
  if (rules_.OnNotify(header, result) || lbContentRules_.OnNotify(header, result)) return true;
  if (lbContentList_.OnNotify(header, result)) {
    if (header.code == LVN_ITEMCHANGED || header.code == LVN_ODSTATECHANGED) lbContentListClick();
    return true;
  }
  return false;
}

bool NetworkGuardPage::ContextMenu(HWND control, POINT screen) {
  if (control == rules_.hwnd()) {
    popupMenu4_.Show(hwnd(), MenuPoint(control, screen));
    return true;
  }
  if (control == lbContentList_.hwnd()) {
    popupMenu5_.Show(hwnd(), MenuPoint(control, screen));
    return true;
  }
  return false;
}

bool NetworkGuardPage::DrawItem(const DRAWITEMSTRUCT& item) { return pEmgStop_.Draw(item); }

void NetworkGuardPage::pAddContentRuleClick() {
  if (firewall_.ContentRuleCommands().AddRule(edContentLine_.Text(), cbContentRule_.SelectedText())) {
    edContentLine_.SetText("");
  }
}

void NetworkGuardPage::lbContentListClick() {
  firewall_.ContentRuleCommands().SelectPattern(lbContentList_.SelectedIndex());
  lbContentRules_.Refresh();
}

void NetworkGuardPage::Deletecontentrule1Click() { firewall_.ContentRuleCommands().DeleteSelectedRule(); }

void NetworkGuardPage::Clearcontentrules1Click() { firewall_.ContentRuleCommands().ClearRules(); }

void NetworkGuardPage::Deleterule1Click() { firewall_.TrafficRuleCommands().DeleteSelectedRule(); }

void NetworkGuardPage::Cleartrafficrules1Click() { firewall_.TrafficRuleCommands().ClearRules(); }

void NetworkGuardPage::pEmgStopClick() {
  const packetfilter::EmergencyButtonFace face = firewall_.EmergencyBlock().pEmgStopClick();
  const bool ownColour = face.colour != packetfilter::CaptionColour::Default;
  SetEmergencyButton(face.caption, ownColour ? static_cast<COLORREF>(packetfilter::ColourRef(face.colour)) : CLR_INVALID);
}

}  // namespace palisor::win32
