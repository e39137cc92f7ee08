#include "core/settings/SwitchHandlers.h"

namespace palisor::settings {

void cbLogAppClick(Settings& settings, bool checked) { settings.logSystemEvents = checked; }

void cbLearningClick(Settings& settings, bool checked) {
  settings.learningMode = checked;
  settings.profilingMenuChecked = checked;
}

void enableprofilingmode1Click(Settings& settings) {
  cbLearningClick(settings, !settings.learningMode);
  settings.profilingMenuChecked = settings.learningMode;
}

}  // namespace palisor::settings
