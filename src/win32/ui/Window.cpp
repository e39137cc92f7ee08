#include "win32/ui/Window.h"

#include <exception>

namespace palisor::win32 {

namespace {
Window::ErrorHandler g_errorHandler = nullptr;
}

void Window::SetErrorHandler(ErrorHandler handler) { g_errorHandler = handler; }

void ReportUncaughtError(const char* message) {
  if (g_errorHandler) g_errorHandler(message);
}

Window::~Window() {
  if (hwnd_) {
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
}

namespace {
bool RegisterOnce(HINSTANCE instance, const char* className, WNDPROC procedure, HICON icon) {
  WNDCLASSEXA existing{};
  existing.cbSize = sizeof existing;
  if (GetClassInfoExA(instance, className, &existing)) return true;
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = procedure;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.hIcon = icon ? icon : LoadIcon(nullptr, IDI_APPLICATION);
  wc.lpszClassName = className;
  return RegisterClassExA(&wc) != 0;
}
}  // namespace

bool Window::CreateWindowOfClass(const char* className, const char* caption, DWORD style, DWORD exStyle, int width,
                                 int height, HWND parent, HICON icon) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!RegisterOnce(instance, className, &Window::StaticWindowProc, icon)) return false;
  int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  HWND created = CreateWindowExA(exStyle, className, caption, style, x, y, width, height, parent, nullptr, instance, this);
  return created != nullptr;
}

bool Window::CreateChildWindow(const char* className, HWND parent, int x, int y, int width, int height, int id) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!RegisterOnce(instance, className, &Window::StaticWindowProc, nullptr)) return false;
  HWND created = CreateWindowExA(WS_EX_CONTROLPARENT, className, "", WS_CHILD | WS_CLIPCHILDREN, x, y, width, height,
                                 parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, this);
  return created != nullptr;
}

LRESULT Window::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return DefaultProcessing(message, wParam, lParam);
}

LRESULT Window::DefaultProcessing(UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK Window::StaticWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* self = nullptr;
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    self = static_cast<Window*>(create->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  }
  if (!self) return DefWindowProcA(hwnd, message, wParam, lParam);
  try {
    LRESULT result = self->HandleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      self->hwnd_ = nullptr;
    }
    return result;
  } catch (const std::exception& error) {
    ReportUncaughtError(error.what());
  } catch (...) {
    ReportUncaughtError("Unknown error");
  }
  return 0;
}

}  // namespace palisor::win32
