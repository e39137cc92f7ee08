// The tab "Network Guard" (NetworkPanel): the firewall's start button, the emergency block, the
// start-up switches, the content filter editor and the traffic rules.
#pragma once

#include "core/app/Firewall.h"
#include "win32/app/PageHost.h"
#include "win32/app/TabPage.h"
#include "win32/ui/ColorButton.h"
#include "win32/ui/Controls.h"
#include "win32/ui/ListView.h"
#include "win32/ui/Menu.h"

namespace palisor::win32 {

class NetworkGuardPage final : public TabPage {
 public:
  // The caption of pStartFwl before the first start: padded to sit beside its glyph.
  static constexpr const char* kStartButtonDesignCaption = "Start Firewall      ";

  NetworkGuardPage(app::Firewall& firewall, PageHost& host) : firewall_(firewall), host_(host) {}

  void Layout(int width, int height) override;
  bool Command(int id, int notifyCode) override;

  // Shows the lists of the core (after start-up loaded them).
  void BindLists();
  void ShowSettings(const settings::Settings& settings);

  void SetStartButtonCaption(const std::string& caption) { pStartFwl_.SetText(caption); }
  // The emergency block's caption and its colour (CLR_INVALID: the default colour).
  void SetEmergencyButton(const std::string& caption, COLORREF color);
  // The pictures of the hidden FwlOn and FwlOff: the tray icon's started and stopped states.
  HICON FwlOnIcon() const { return fwlOnIcon_; }
  HICON FwlOffIcon() const { return fwlOffIcon_; }

  ListView& Rules() { return rules_; }
  ListView& ContentList() { return lbContentList_; }
  ListView& ContentRules() { return lbContentRules_; }
  const PopupMenu& PopupMenu4() const { return popupMenu4_; }
  const PopupMenu& PopupMenu5() const { return popupMenu5_; }

 protected:
  void CreateControls() override;
  bool Notify(const NMHDR& header, LRESULT& result) override;
  bool ContextMenu(HWND control, POINT screen) override;
  bool DrawItem(const DRAWITEMSTRUCT& item) override;

 private:
  void pAddContentRuleClick();
  void lbContentListClick();
  void Deletecontentrule1Click();
  void Clearcontentrules1Click();
  void Deleterule1Click();
  void Cleartrafficrules1Click();
  void pEmgStopClick();

  app::Firewall& firewall_;
  PageHost& host_;
  HICON fwlOnIcon_ = nullptr, fwlOffIcon_ = nullptr;

  Button pStartFwl_, bitBtn4_;
  ColorButton pEmgStop_;
  CheckBox cbAutostart_, cbAutohide_, cbDoNetLog_;
  Label label9_, label13_;
  Edit edContentLine_;
  DropDownList cbContentRule_;
  ListView lbContentList_, lbContentRules_, rules_;
  Picture fwlOn_, fwlOff_;
  PopupMenu popupMenu4_, popupMenu5_;
};

}  // namespace palisor::win32
