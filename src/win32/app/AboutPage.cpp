#include "win32/app/AboutPage.h"

#include "win32/resources/ResourceIds.h"
#include "win32/app/ControlIds.h"
#include "win32/ui/Resources.h"

namespace palisor::win32 {

void AboutPage::CreateControls() {
  aboutGroup_.Create(hwnd(), " About Palisor ", {8, 8, 600, 300}, ids::kAboutGroup);
  HWND group = aboutGroup_.hwnd();
  productName_.Create(group, "Palisor", {24, 28, 300, 40}, ids::kProductName);
  productName_.SetFont(UiTitleFont());
  aboutText_.Create(group, AboutText(), {24, 70, 560, 96}, ids::kAboutText);
  websiteLabel_.Create(group, "Website:", {24, 170, 70, 18}, ids::kWebsiteLabel);
  websiteValue_.Create(group, kWebsiteAddress, {96, 170, 320, 18}, ids::kWebsiteValue, SS_NOTIFY);
  websiteValue_.SetFont(UiLinkFont());
  emailLabel_.Create(group, "Email:", {24, 194, 70, 18}, ids::kEmailLabel);
  emailValue_.Create(group, kSupportAddress, {96, 194, 320, 18}, ids::kEmailValue, SS_NOTIFY);
  emailValue_.SetFont(UiLinkFont());
}

std::string AboutPage::AboutText() {
  std::string text = std::string(kVersionText) + "\r\n" + kPublisher + "\r\n\r\n";
  // The description is the installer's licence page too (resources/About.txt).
  for (char c : RcDataResource(IDR_ABOUT_TEXT)) {
    if (c == '\n') text += '\r';
    if (c != '\r') text += c;
  }
  return text;
}

void AboutPage::Layout(int width, int height) { aboutGroup_.Move({8, 8, width - 16, height - 16}); }

bool AboutPage::Command(int id, int notifyCode) {
  if (notifyCode != STN_CLICKED) return false;
  if (id == ids::kWebsiteValue) {
    Image2Click();
    return true;
  }
  if (id == ids::kEmailValue) {
    EmailValueClick();
    return true;
  }
  return false;
}

HBRUSH AboutPage::StaticColor(HDC dc, HWND control) {
  if (control != websiteValue_.hwnd() && control != emailValue_.hwnd()) return nullptr;
  SetTextColor(dc, RGB(0, 0, 255));
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  return GetSysColorBrush(COLOR_BTNFACE);
}

LRESULT AboutPage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SETCURSOR) {
    HWND over = reinterpret_cast<HWND>(wParam);
    if (over == websiteValue_.hwnd() || over == emailValue_.hwnd()) {
      SetCursor(LoadCursor(nullptr, IDC_HAND));
      return TRUE;
    }
  }
  return TabPage::HandleMessage(message, wParam, lParam);
}

void AboutPage::Image2Click() { openLink_(kWebsiteAddress); }

void AboutPage::EmailValueClick() { openLink_(kSupportMailto); }

}  // namespace palisor::win32
