// A thin base for the program's windows: registers a class, creates the window and routes its
// messages to HandleMessage. No exception crosses into the system: one that escapes a handler
// goes to the application's error handler.
#pragma once

#include <windows.h>

#include <exception>
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
  // Registers `className` once and creates the window centred on the desktop.
  bool CreateWindowOfClass(const char* className, const char* caption, DWORD style, DWORD exStyle, int width,
                           int height, HWND parent, HICON icon = nullptr);
  // Registers `className` once and creates a child window at a place of its parent.
  bool CreateChildWindow(const char* className, HWND parent, int x, int y, int width, int height, int id);
  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT DefaultProcessing(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  static LRESULT CALLBACK StaticWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  HWND hwnd_ = nullptr;
};

// Reports an exception message through the error handler; used by every callback that catches.
void ReportUncaughtError(const char* message);

// Runs `work`; an exception that escapes it goes to the error handler instead of the caller.
template <typename Work>
void RunGuarded(Work&& work) {
  try {
    work();
  } catch (const std::exception& error) {
    ReportUncaughtError(error.what());
  } catch (...) {
    ReportUncaughtError("Unknown error");
  }
}

}  // namespace palisor::win32
