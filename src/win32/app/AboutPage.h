// The tab "About": the product, the maker's web site and support e-mail as links.
#pragma once

#include <functional>
#include <string>

#include "win32/app/TabPage.h"
#include "win32/ui/Controls.h"
#include "win32/ui/GroupPanel.h"

namespace palisor::win32 {

inline constexpr const char* kWebsiteAddress = "http://www.palisor-firewall.com/";
inline constexpr const char* kSupportAddress = "support@palisor-firewall.com";
inline constexpr const char* kSupportMailto = "mailto:support@palisor-firewall.com?subject=Support Question";

class AboutPage final : public TabPage {
 public:
  // `openLink` opens an address with the shell (the main window's ShellExecute).
  explicit AboutPage(std::function<void(const char* address)> openLink) : openLink_(std::move(openLink)) {}

  void Layout(int width, int height) override;
  bool Command(int id, int notifyCode) override;

 protected:
  void CreateControls() override;
  HBRUSH StaticColor(HDC dc, HWND control) override;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void Image2Click();
  void EmailValueClick();

  std::function<void(const char* address)> openLink_;
  GroupPanel aboutGroup_;
  Label productName_, aboutText_, websiteLabel_, websiteValue_, emailLabel_, emailValue_;
};

}  // namespace palisor::win32
