#include "win32/app/AdvancedNetworkGuardPage.h"

#include "win32/app/ControlIds.h"

namespace palisor::win32 {

void AdvancedNetworkGuardPage::CreateControls() {
  HWND page = hwnd();
  groupBox2_.Create(page, " Advanced Network Guard Rule Definition  ", {8, 6, 600, 118}, ids::kGroupBox2);
  HWND group = groupBox2_.hwnd();
  // Two rows of captioned fields: source on the first, destination on the second.
  const int column[] = {10, 140, 270, 400};
  const int rowTop[] = {22, 68};
  protoLabel_.Create(group, "Protocol", {column[0], rowTop[0], 120, 16});
  cbAdvProto_.Create(group, {"0 - ANY", "1 - ICMP", "6 - TCP", "17 - UDP"}, {column[0], rowTop[0] + 16, 120, 22},
                     ids::kCbAdvProto, 0);
  srcIpLabel_.Create(group, "Source IP", {column[1], rowTop[0], 120, 16});
  eSrcIP_.Create(group, "0.0.0.0", {column[1], rowTop[0] + 16, 120, 22}, ids::kESrcIP, 15);
  srcMaskLabel_.Create(group, "Source Mask", {column[2], rowTop[0], 120, 16});
  eSrcMask_.Create(group, "0.0.0.0", {column[2], rowTop[0] + 16, 120, 22}, ids::kESrcMask, 15);
  srcPortLabel_.Create(group, "Source Port", {column[3], rowTop[0], 100, 16});
  eSrcPort_.Create(group, "0", {column[3], rowTop[0] + 16, 70, 22}, ids::kESrcPort, 5);

  actionLabel_.Create(group, "Action", {column[0], rowTop[1], 120, 16});
  cbAdvAction_.Create(group, {"0 - DROP", "1 - PASS"}, {column[0], rowTop[1] + 16, 120, 22}, ids::kCbAdvAction, 0);
  dstIpLabel_.Create(group, "Destination IP", {column[1], rowTop[1], 120, 16});
  eDstIP_.Create(group, "0.0.0.0", {column[1], rowTop[1] + 16, 120, 22}, ids::kEDstIP, 15);
  dstMaskLabel_.Create(group, "Destination Mask", {column[2], rowTop[1], 120, 16});
  eDstMask_.Create(group, "0.0.0.0", {column[2], rowTop[1] + 16, 120, 22}, ids::kEDstMask, 15);
  dstPortLabel_.Create(group, "Destination Port", {column[3], rowTop[1], 100, 16});
  eDstPort_.Create(group, "0", {column[3], rowTop[1] + 16, 70, 22}, ids::kEDstPort, 5);
  pAdvNetGuard_.Create(group, "Add Rule", {490, rowTop[1] + 14, 90, 26}, ids::kPAdvNetGuard);
  EnableEditor(false);

  label30_.Create(page, "Advanced Firewall Rules", {8, 130, 300, 16}, ids::kLabel30);
  label30_.SetFont(UiBoldFont());
  rulesGrid_.Create(page, ids::kRulesGrid, {8, 148, 600, 200},
                    {{"Protocol", 62}, {"Source IP", 92}, {"Source Mask", 92}, {"Source Port", 82},
                     {"Destination IP", 96}, {"Destination Mask", 112}, {"Destination Port", 112}, {"Action", 60}},
                    {});
  popupMenu9_.Create({{ids::kApplyRules1, "Apply rules"},
                      {ids::kClearRules1, "Clear rules"},
                      {ids::kDeleteRule2, "Delete rule"},
                      {ids::kSaveRules2, "Save rules"}});
}

void AdvancedNetworkGuardPage::Layout(int width, int height) {
  groupBox2_.Move({8, 6, width - 16, 118});
  rulesGrid_.Move({8, 148, width - 16, height - 156});
}

void AdvancedNetworkGuardPage::EnableEditor(bool enabled) {
  Control* editor[] = {&cbAdvProto_, &cbAdvAction_, &eSrcIP_, &eSrcMask_, &eDstIP_,
                       &eDstMask_,   &eSrcPort_,    &eDstPort_, &pAdvNetGuard_};
  for (Control* control : editor) control->Enable(enabled);
}

bool AdvancedNetworkGuardPage::Command(int id, int notifyCode) {
  switch (id) {
    case ids::kCbAdvProto:
      if (notifyCode == CBN_SELCHANGE) cbAdvProtoChange();
      return true;
    case ids::kPAdvNetGuard: pAdvNetGuardClick(); return true;
    case ids::kApplyRules1: Applyrules1Click(); return true;
    case ids::kClearRules1: Clearrules1Click(); return true;
    case ids::kDeleteRule2: Deleterule2Click(); return true;
    case ids::kSaveRules2: Saverules2Click(); return true;
    default: return false;
  }
}

bool AdvancedNetworkGuardPage::Notify(const NMHDR& header, LRESULT& result) {
  return rulesGrid_.OnNotify(header, result);
}

bool AdvancedNetworkGuardPage::ContextMenu(HWND control, POINT screen) {
  if (control != rulesGrid_.hwnd()) return false;
  popupMenu9_.Show(hwnd(), MenuPoint(control, screen));
  return true;
}

void AdvancedNetworkGuardPage::BindLists() { rulesGrid_.Bind(&firewall_.AdvancedRules().rulesGrid); }

void AdvancedNetworkGuardPage::pStartFwlClick() { EnableEditor(firewall_.AdvancedRules().ToggleFilter()); }

void AdvancedNetworkGuardPage::cbAdvProtoChange() {
  if (!packetfilter::AdvancedRules::cbAdvProtoChange(cbAdvProto_.Selected())) return;
  eSrcPort_.SetText("0");
  eDstPort_.SetText("0");
}

void AdvancedNetworkGuardPage::pAdvNetGuardClick() {
  const std::string sourceIp = eSrcIP_.Text(), sourceMask = eSrcMask_.Text(), sourcePort = eSrcPort_.Text();
  const std::string destinationIp = eDstIP_.Text(), destinationMask = eDstMask_.Text(),
                    destinationPort = eDstPort_.Text();
  packetfilter::AdvancedRuleEditor editor;
  editor.protocolIndex = cbAdvProto_.Selected();
  editor.actionIndex = cbAdvAction_.Selected();
  editor.sourceIp = sourceIp;
  editor.sourceMask = sourceMask;
  editor.sourcePort = sourcePort;
  editor.destinationIp = destinationIp;
  editor.destinationMask = destinationMask;
  editor.destinationPort = destinationPort;
  firewall_.AdvancedRules().AddRule(editor);
}

void AdvancedNetworkGuardPage::Applyrules1Click() { firewall_.AdvancedRules().ApplyRules(); }
void AdvancedNetworkGuardPage::Clearrules1Click() { firewall_.AdvancedRules().ClearRules(); }
void AdvancedNetworkGuardPage::Deleterule2Click() { firewall_.AdvancedRules().DeleteSelectedRule(); }
void AdvancedNetworkGuardPage::Saverules2Click() { firewall_.AdvancedRules().SaveRules(); }

}  // namespace palisor::win32
