// The network guard's question to the user: what the prompt window shows about an event that no
// rule decided, and the plain answer it gives back. The window only displays and collects; the
// guard turns the answer into the verdict and, when asked to, into a traffic rule.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace palisor::engine {

struct NetworkPromptRequest {
  std::string_view fileName;   // "Application: " + the file name part of the application
  std::string_view directory;  // "Path: " + its directory part
  std::string_view operation, protocol;
  std::string_view sourceAddress, sourcePort, destinationAddress, destinationPort;
  std::size_t packetSize = 0;    // characters of the payload text
  std::string_view packetHeader;  // its first 100 characters
  bool presetPass = false;        // the answer when the window closes by itself
};

// The boxes of "Save this choice for", as the user left them.
struct SaveChoiceBoxes {
  bool application = true;  // cbApp, the only one ticked when the window opens
  bool path = false;        // cbPath
  bool operation = false;   // cbFunc
  bool protocol = false;    // cbProto
  bool sourceIp = false;    // cbSrcIP
  bool sourcePort = false;  // cbSrcPort
  bool destIp = false;      // cbDestIP
  bool destPort = false;    // cbDestPort
  bool maxSpeed = false;    // cbMaxSpeed
};

struct NetworkPromptAnswer {
  bool pass = false;
  bool saveChoice = false;  // cbSaveRule
  SaveChoiceBoxes boxes;
  std::string maxSpeedText = "0";  // edMaxSpeed
};

class NetworkPrompt {
 public:
  virtual ~NetworkPrompt() = default;
  // True while the prompt window is on the screen; the guard then does not ask again.
  virtual bool IsShowing() const = 0;
  // Shows the request modally and returns when the user answered or the countdown ran out.
  virtual NetworkPromptAnswer Ask(const NetworkPromptRequest& request) = 0;
};

// Answers the preset at once without showing anything and saves nothing: an event that no rule
// decides is dropped. Used while no prompt window exists.
class PresetNetworkPrompt final : public NetworkPrompt {
 public:
  bool IsShowing() const override { return false; }
  NetworkPromptAnswer Ask(const NetworkPromptRequest& request) override {
    NetworkPromptAnswer answer;
    answer.pass = request.presetPass;
    return answer;
  }
};

}  // namespace palisor::engine
