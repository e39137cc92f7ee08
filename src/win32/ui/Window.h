// A thin base for the program's windows: registers a class, creates the window and routes its
// messages to HandleMessage. No exception crosses into the system: one that escapes a handler
// goes to the application's error handler.
#pragma once

#include <windows.h>

#include <string>

namespace palisor::win32 {

class Window {
 public:
  Window() = default;
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  HWND hwnd() const { return hwnd_; }

  // Receives the message of every exception that escapes a window procedure.
  using ErrorHandler = void (*)(const char* message);
  static void SetErrorHandler(ErrorHandler handler);

 protected:
  // Registers `className` once and creates the window.
  bool CreateWindowOfClass(const char* className, const char* caption, DWORD style, DWORD exStyle, int width,
                           int height, HWND parent, HICON icon = nullptr);
  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT DefaultProcessing(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  static LRESULT CALLBACK StaticWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  HWND hwnd_ = nullptr;
};

// Reports an exception message through the error handler; used by every callback that catches.
void ReportUncaughtError(const char* message);

}  // namespace palisor::win32
