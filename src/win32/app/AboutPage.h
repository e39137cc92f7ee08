// The tab "About": the product, its version and publisher, what it does, the maker's web site
// and support e-mail as links.
#pragma once

#include <functional>
#include <string>

#include "ProductInfo.h"
#include "win32/app/TabPage.h"
#include "win32/ui/Controls.h"
#include "win32/ui/GroupPanel.h"

namespace palisor::win32 {

inline constexpr const char* kWebsiteAddress = "http://www.palisor-firewall.com/";
inline constexpr const char* kSupportAddress = "support@palisor-firewall.com";
inline constexpr const char* kVersionText = "Version " PALISOR_VERSION;
inline constexpr const char* kPublisher = PALISOR_PUBLISHER;
inline constexpr const char* kSupportMailto = "mailto:support@palisor-firewall.com?subject=Support Question";

class AboutPage final : public TabPage {
 public:
  // `openLink` opens an address with the shell (the main window's ShellExecute).
  explicit AboutPage(std::function<void(const char* address)> openLink) : openLink_(std::move(openLink)) {}

  // The text under the product name: the version, the publisher, then the description.
  static std::string AboutText();

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
