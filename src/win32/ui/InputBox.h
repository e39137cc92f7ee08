// The standard modal input dialog: a caption, a prompt, an edit box holding a value, OK and
// Cancel. Enter presses OK, Esc presses Cancel.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace palisor::win32 {

inline constexpr const char* kInputBoxClassName = "TInputQuery";
enum InputBoxControlId : int { kInputBoxPrompt = 10, kInputBoxEdit = 11 };

// The edited text after OK; nothing after Cancel or when the window is closed.
std::optional<std::string> InputQuery(HWND owner, std::string_view caption, std::string_view prompt,
                                      std::string_view value);

}  // namespace palisor::win32
