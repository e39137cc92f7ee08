#include "core/settings/SwitchHandlers.h"

namespace palisor::settings {

void SetLogSystemEvents(Settings& settings, bool checked) { settings.logSystemEvents = checked; }

void SetLearningMode(Settings& settings, bool checked) {
  settings.learningMode = checked;
  settings.profilingMenuChecked = checked;
}

void ToggleLearningMode(Settings& settings) {
  SetLearningMode(settings, !settings.learningMode);
  settings.profilingMenuChecked = settings.learningMode;
}

}  // namespace palisor::settings
