// The system guard's question to the user: what the prompt window shows about a system event
// that the application lists did not decide (or whose signature changed), and the plain answer
// it gives back. The window only displays and collects; the guard turns the answer into the
// verdict and, when asked to, into an application entry.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/events/EventViews.h"

namespace palisor::engine {

struct SystemPromptRequest {
  std::string_view fileName;   // "Application: " + the file name part of the application
  std::string_view directory;  // "Path: " + its directory part
  // lCmdLine: the full "Attempts to ..." text; empty for an operation code outside 0..9, whose
  // label keeps the text it had.
  std::string_view attempt;
  bool differentSignature = false;  // shows "!!! DIFFERENT SIGNATURE !!!"
  bool presetPass = true;           // the answer when the window closes by itself
};

// The boxes of "Save this choice for", as the user left them; the defaults are the state in
// which every prompt opens.
struct SystemSaveBoxes {
  bool application = true;  // cbApp "The Application"
  bool signature = true;    // cbMD5 "Save Application's signature"
  bool path = false;        // cbPath "The Path"
  bool file = false;        // cbFile "The File/DLL/Command"
  bool operation = false;   // cbOp "The Operation"
};

struct SystemPromptAnswer {
  bool pass = true;
  bool saveChoice = false;  // cbSaveRule
  SystemSaveBoxes boxes;
};

class SystemPrompt {
 public:
  virtual ~SystemPrompt() = default;
  // Shows the request modally and returns when the user answered or the countdown ran out
  // (then `pass` is the request's preset).
  virtual SystemPromptAnswer Ask(const SystemPromptRequest& request) = 0;
};

// Answers the preset at once without showing anything and saves nothing. Used while no prompt
// window exists.
class PresetSystemPrompt final : public SystemPrompt {
 public:
  SystemPromptAnswer Ask(const SystemPromptRequest& request) override {
    SystemPromptAnswer answer;
    answer.pass = request.presetPass;
    return answer;
  }
};

// lCmdLine for an operation code: "Attempts to EXECUTE: " + the file name part of the target,
// ...; empty for a code outside 0..9.
std::string SystemAttemptText(std::uint8_t operationCode, std::string_view target);

struct AppEntry {
  std::string application, file, signature, operation;
};

// The entry that a saved answer adds (to the allowed list for PASS, the forbidden list for DROP):
// application "*.*", its directory part (path box), file name part (application box) or full
// path (both); file the target or "*.*"; the signature or "NOT SIGNED"; the operation name or
// "ANY". None when the choice is not saved or both application and file are "*.*".
std::optional<AppEntry> EntryToSave(const events::SystemEventView& event, std::string_view signature,
                                    const SystemPromptAnswer& answer);

}  // namespace palisor::engine
