// The handlers that keep related switches in step. Each takes the new state of the control that
// was clicked; the window then shows what the settings say.
#pragma once

#include "core/settings/Settings.h"

namespace palisor::settings {

// "Log system guard events" clicked.
void SetLogSystemEvents(Settings& settings, bool checked);
// "Enable learning mode" clicked: the profiling menu check mark follows it.
void SetLearningMode(Settings& settings, bool checked);
// The menu item "Enable system profiling": inverts learning mode (as a click on its check box
// would) and sets the menu check mark to the new state.
void ToggleLearningMode(Settings& settings);

// The logging level choice (rgVerbose) is shown exactly while system guard events are logged.
inline bool LoggingLevelVisible(const Settings& settings) { return settings.logSystemEvents; }

}  // namespace palisor::settings
