#include "win32/ui/InputBox.h"

#include "win32/ui/Controls.h"
#include "win32/ui/ModalWindow.h"

namespace palisor::win32 {

namespace {

class InputBoxWindow final : public ModalWindow {
 public:
  bool Create(HWND owner, std::string_view caption, std::string_view prompt, std::string_view value) {
    if (!CreateWindowOfClass(kInputBoxClassName, std::string(caption).c_str(), WS_POPUP | WS_CAPTION | WS_SYSMENU,
                             WS_EX_DLGMODALFRAME, 300, 120, owner)) {
      return false;
    }
    prompt_.Create(hwnd(), prompt, {10, 10, 280, 16}, kInputBoxPrompt);
    edit_.Create(hwnd(), value, {10, 30, 280, 22}, kInputBoxEdit);
    ok_.Create(hwnd(), "OK", {130, 64, 75, 25}, IDOK, BS_DEFPUSHBUTTON);
    cancel_.Create(hwnd(), "Cancel", {215, 64, 75, 25}, IDCANCEL);
    SetClientSizeCentred(300, 100);
    return true;
  }

  bool Confirmed() const { return confirmed_; }
  std::string Value() const { return value_; }

 protected:
  void FormShow() override {
    SetForegroundWindow(hwnd());
    edit_.Focus();
    SendMessageA(edit_.hwnd(), EM_SETSEL, 0, -1);
  }

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
      confirmed_ = LOWORD(wParam) == IDOK;
      value_ = edit_.Text();
      Close();
      return 0;
    }
    return ModalWindow::HandleMessage(message, wParam, lParam);
  }

 private:
  Label prompt_;
  Edit edit_;
  Button ok_, cancel_;
  bool confirmed_ = false;
  std::string value_;
};

}  // namespace

std::optional<std::string> InputQuery(HWND owner, std::string_view caption, std::string_view prompt,
                                      std::string_view value) {
  InputBoxWindow window;
  if (!window.Create(owner, caption, prompt, value)) return std::nullopt;
  window.ShowModal();
  if (!window.Confirmed()) return std::nullopt;
  return window.Value();
}

}  // namespace palisor::win32
