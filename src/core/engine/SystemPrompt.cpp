#include "core/engine/SystemPrompt.h"

#include <array>

#include "core/engine/AppEntryIndex.h"
#include "core/support/AuxStr.h"

namespace palisor::engine {

namespace {

struct AttemptWording {
  std::string_view text;
  bool fileNameOnly;  // the file name part of the target instead of the whole target
};

constexpr std::array<AttemptWording, 10> kAttempts{{
    {"Attempts to EXECUTE: ", true},
    {"Attempts to LOAD LIBRARY: ", false},
    {"Attempts to ACCESS FILE: ", true},
    {"Attempts to OPEN FILE: ", true},
    {"Attempts to DELETE FILE: ", true},
    {"Attempts to RETRIEVE ADDRESS for: ", false},
    {"Attempts to DELETE REGISTRY KEY VALUE: ", false},
    {"Attempts to WRITE REGISTRY KEY VALUE for: ", false},
    {"Attempts to READ REGISTRY KEY VALUE for: ", false},
    {"Attempts to DELETE REGISTRY KEY: ", false},
}};

std::string_view ApplicationToSave(std::string_view application, const SystemSaveBoxes& boxes) {
  if (boxes.application && boxes.path) return application;
  if (boxes.application) return support::FileNamePart(application);
  if (boxes.path) return support::DirectoryPart(application);
  return kAnyApplication;
}

}  // namespace

std::string SystemAttemptText(std::uint8_t operationCode, std::string_view target) {
  if (operationCode >= kAttempts.size()) return {};
  const AttemptWording& wording = kAttempts[operationCode];
  std::string text(wording.text);
  text.append(wording.fileNameOnly ? support::FileNamePart(target) : target);
  return text;
}

std::optional<AppEntry> EntryToSave(const events::SystemEventView& event, std::string_view signature,
                                    const SystemPromptAnswer& answer) {
  if (!answer.saveChoice) return std::nullopt;
  const SystemSaveBoxes& boxes = answer.boxes;
  AppEntry entry{std::string(ApplicationToSave(event.application, boxes)),
                 boxes.file ? event.target : std::string(kAnyFile),
                 std::string(boxes.signature ? signature : kNotSigned),
                 boxes.operation ? event.operation : std::string(kAnyOperation)};
  if (entry.application == kAnyApplication && entry.file == kAnyFile) return std::nullopt;
  return entry;
}

}  // namespace palisor::engine
