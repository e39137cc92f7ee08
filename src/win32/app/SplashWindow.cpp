#include "win32/app/SplashWindow.h"
#include "win32/platform/UniqueHandle.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "win32/resources/ResourceIds.h"
#include "win32/ui/JpegPicture.h"

namespace palisor::win32 {

namespace {

constexpr UINT_PTR kTimer1 = 1;
constexpr const char* kFlagValue = "First time";

std::string IntroductionText() {
  std::string text;
  for (int i = 0; i < SplashWindow::kIntroductionLines; ++i) {
    if (i > 0) text += "\r\n";
    text += SplashWindow::kIntroduction[i];
  }
  return text;
}

HFONT MakeMemoFont() {
  HDC screen = GetDC(nullptr);
  const int height = -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72);
  ReleaseDC(nullptr, screen);
  return CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, VARIABLE_PITCH | FF_SWISS, "MS Sans Serif");
}

}  // namespace

const char* const SplashWindow::kIntroduction[kIntroductionLines] = {
    "This is the first time Palisor has been started.",
    "",
    "Palisor is now running in 'learning 'mode',  which means it ",
    "observes what applications run  and records them as trusted ",
    "and allowed to run without any interference from the firewall.",
    "",
    "At this stage you should start all the applications you use most ",
    "often to allow the firewall to build a system profile.",
    "",
    "Once you've started all your usual applications go to the ",
    "\"System Guard\" pane and uncheck the  \"Enable learning mode\"",
    "to take the firewall off the learning mode. Now the firewall will",
    "intercept all potentially dangerous actions taken by various ",
    "applications running in your system.",
    "",
    "Such actions include: ",
    "       - File access",
    "       - Registry access",
    "       - DLL loading",
    "       - Program execution",
    "",
    "These actions are usually used by exploits, viruses, trojans at a",
    "certain stage to take malicious actions against your computer ",
    "or network. By intercepting these actions you have a better chance",
    "to protect your information and business.",
    "",
    "The Network Guard provides for means to control what applications",
    "access the network and allows you to block information leaks.",
    "",
    "There are two sections of the network protection: ",
    "        - The application network protection which ",
    "          controls application network access. ",
    "          This is done from the Network Guard panel",
    "",
    "        - The Advanced Network sections which ",
    "          filters non-application specific access to the ",
    "          network such as NetBIOS, RPC, ICMP, etc.",
};

SplashStart ReadAndMarkFirstStart(const SplashFlagKey& key) {
  HKEY opened = nullptr;
  if (RegCreateKeyExA(key.root, key.path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_QUERY_VALUE | KEY_SET_VALUE,
                      nullptr, &opened, nullptr) != ERROR_SUCCESS) {
    return SplashStart::First;
  }
  const UniqueRegistryKey owned(opened);
  char value[16] = {};
  DWORD type = 0;
  DWORD size = sizeof value - 1;
  LONG read = RegQueryValueExA(opened, kFlagValue, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  const bool present = read == ERROR_SUCCESS || read == ERROR_MORE_DATA;
  if (present && type != REG_SZ && type != REG_EXPAND_SZ) return SplashStart::Failed;
  const bool later = read == ERROR_SUCCESS && std::string(value, strnlen(value, size)) == "no";
  RegSetValueExA(opened, kFlagValue, 0, REG_SZ, reinterpret_cast<const BYTE*>("no"), 3);
  return later ? SplashStart::Later : SplashStart::First;
}

SplashWindow::~SplashWindow() {
  if (hwnd()) DestroyWindow(hwnd());
  if (picture_) DeleteObject(picture_);
  if (memoFont_) DeleteObject(memoFont_);
}

bool SplashWindow::Create() {
  if (!CreateWindowOfClass(kClassName, "Palisor", WS_POPUP | WS_CLIPCHILDREN, WS_EX_TOOLWINDOW, kClientWidth,
                           kClientHeight, nullptr)) {
    return false;
  }
  picture_ = LoadJpegResource(IDR_SPLASH_JPEG);
  image1_.CreateBitmap(hwnd(), picture_, {0, 0, kImageWidth, kImageHeight}, kImage1);
  memoFont_ = MakeMemoFont();
  memo1_.Create(hwnd(), IntroductionText(), {0, kClientHeight - 276, kClientWidth, 276}, kMemo1, 0,
                ES_MULTILINE | ES_READONLY | WS_VSCROLL);
  SetWindowLongA(memo1_.hwnd(), GWL_EXSTYLE, 0);
  SetWindowLongA(memo1_.hwnd(), GWL_STYLE, GetWindowLongA(memo1_.hwnd(), GWL_STYLE) & ~WS_TABSTOP);
  SetWindowPos(memo1_.hwnd(), nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  memo1_.SetFont(memoFont_);
  continue_.Create(hwnd(), "Click Here to Continue", {309, 214, 121, 21}, kContinue);
  FitContinueButton();
  SetWindowPos(continue_.hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetClientSizeCentred(kClientWidth, kClientHeight);
  return true;
}

// 121 x 21 at (309, 214); wider to the left when the system's font needs more room for the caption.
void SplashWindow::FitContinueButton() {
  HDC dc = GetDC(continue_.hwnd());
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(continue_.hwnd(), WM_GETFONT, 0, 0)));
  SIZE text{};
  const std::string caption = continue_.Text();
  GetTextExtentPoint32A(dc, caption.c_str(), static_cast<int>(caption.size()), &text);
  SelectObject(dc, old);
  ReleaseDC(continue_.hwnd(), dc);
  const int width = std::max(121, static_cast<int>(text.cx) + 12);
  continue_.Move({309 + 121 - width, 214, width, 21});
}

void SplashWindow::PrepareForStart(SplashStart start) {
  if (start == SplashStart::Later) {
    ShowPictureOnly();
  } else if (start == SplashStart::Failed) {
    timerEnabled_ = true;
  }
}

void SplashWindow::ShowPictureOnly() {
  continue_.Show(false);
  memo1_.Move({0, 0, 0, 0});
  timerEnabled_ = true;
  SetClientSizeCentred(kImageWidth, kImageHeight);
}

void SplashWindow::PrepareForMenu() {
  SetClientSizeCentred(kImageWidth, kImageHeight);
  memo1_.Move({0, 0, 0, 0});
}

SIZE SplashWindow::MemoSize() const {
  RECT frame{};
  GetWindowRect(memo1_.hwnd(), &frame);
  return {frame.right - frame.left, frame.bottom - frame.top};
}

SIZE SplashWindow::ClientSize() const {
  RECT client{};
  GetClientRect(hwnd(), &client);
  return {client.right, client.bottom};
}

void SplashWindow::FormShow() {
  SetForegroundWindow(hwnd());
  if (timerEnabled_) SetTimer(hwnd(), kTimer1, timerMilliseconds_, nullptr);
  if (continue_.Visible()) continue_.Focus();
}

void SplashWindow::FormClose() { KillTimer(hwnd(), kTimer1); }

void SplashWindow::Timer1Timer() {
  timerEnabled_ = false;
  KillTimer(hwnd(), kTimer1);
  Close();
}

void SplashWindow::continueClick() {
  timerEnabled_ = false;
  KillTimer(hwnd(), kTimer1);
  Close();
}

LRESULT SplashWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      if (wParam == kTimer1) Timer1Timer();
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == kContinue && HIWORD(wParam) == BN_CLICKED) {
        continueClick();
        return 0;
      }
      break;
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lParam) == memo1_.hwnd()) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
      }
      break;
    default:
      break;
  }
  return ModalWindow::HandleMessage(message, wParam, lParam);
}

void ShowStartupSplash(const SplashFlagKey& key) {
  SplashWindow splash;
  if (!splash.Create()) return;
  splash.PrepareForStart(ReadAndMarkFirstStart(key));
  splash.ShowModal();
}

void ShowMenuSplash() {
  SplashWindow splash;
  if (!splash.Create()) return;
  splash.PrepareForMenu();
  splash.ShowModal();
}

}  // namespace palisor::win32
