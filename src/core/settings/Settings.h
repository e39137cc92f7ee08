// The user's switches and choices. One object, changed by the window's check boxes and radio
// group, read by the engine at every event. Defaults are those of the main window.
#pragma once

namespace palisor::settings {

enum class LoggingLevel : int { None = -1, AllEvents = 0, DropOnly = 1 };

struct Settings {
  bool autostart = true;          // "Auto start firewall"
  bool startMinimized = false;    // "Start minimized"
  bool trafficLogging = false;    // "Enable traffic logging"
  bool systemGuard = true;        // "Enable system guard"
  bool learningMode = true;       // "Enable learning mode"
  bool logSystemEvents = true;    // "Log system guard events"
  LoggingLevel loggingLevel = LoggingLevel::DropOnly;
  // Check mark of the menu item "Enable system profiling": follows learningMode, except after
  // a start-up that found no settings key, until either of them is changed.
  bool profilingMenuChecked = false;
};

}  // namespace palisor::settings
