// The tab "Advanced Network Guard" (AdvNetGuard): the editor of the packet filter's rules and
// their list. Present only on the Windows NT family. The editor is disabled until the packet
// filter runs.
#pragma once

#include "core/app/Firewall.h"
#include "win32/app/TabPage.h"
#include "win32/ui/Controls.h"
#include "win32/ui/GroupPanel.h"
#include "win32/ui/ListView.h"
#include "win32/ui/Menu.h"

namespace palisor::win32 {

class AdvancedNetworkGuardPage final : public TabPage {
 public:
  explicit AdvancedNetworkGuardPage(app::Firewall& firewall) : firewall_(firewall) {}

  void Layout(int width, int height) override;
  bool Command(int id, int notifyCode) override;

  void BindLists();
  // The packet filter's start or stop, on every start and stop of the firewall.
  void pStartFwlClick();
  // The nine editor controls: enabled exactly while the packet filter runs.
  void EnableEditor(bool enabled);
  bool EditorEnabled() const { return pAdvNetGuard_.Enabled(); }

  ListView& RulesGrid() { return rulesGrid_; }
  const PopupMenu& PopupMenu9() const { return popupMenu9_; }

 protected:
  void CreateControls() override;
  bool Notify(const NMHDR& header, LRESULT& result) override;
  bool ContextMenu(HWND control, POINT screen) override;

 private:
  void cbAdvProtoChange();
  void pAdvNetGuardClick();
  void Applyrules1Click();
  void Clearrules1Click();
  void Deleterule2Click();
  void Saverules2Click();

  app::Firewall& firewall_;
  GroupPanel groupBox2_;
  Label protoLabel_, actionLabel_, srcIpLabel_, srcMaskLabel_, srcPortLabel_, dstIpLabel_, dstMaskLabel_,
      dstPortLabel_;
  DropDownList cbAdvProto_, cbAdvAction_;
  Edit eSrcIP_, eSrcMask_, eSrcPort_, eDstIP_, eDstMask_, eDstPort_;
  Button pAdvNetGuard_;
  Label label30_;
  ListView rulesGrid_;
  PopupMenu popupMenu9_;
};

}  // namespace palisor::win32
