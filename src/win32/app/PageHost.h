// What a page of the main window asks of the main window.
#pragma once

#include <string>

namespace palisor::win32 {

class PageHost {
 public:
  virtual ~PageHost() = default;
  // The settings object changed through a switch: every control showing a setting follows it.
  virtual void ShowSettings() = 0;
  // Asks the user for a value (the standard input dialog); false on Cancel.
  virtual bool InputQuery(const char* caption, const char* prompt, std::string& value) = 0;
  // A message box with the text and an OK button.
  virtual void ShowMessage(const std::string& text) = 0;
  // Timer4 takes a new interval at once (0 stops the periodic refresh).
  virtual void SetProcessListInterval(unsigned milliseconds) = 0;
};

}  // namespace palisor::win32
