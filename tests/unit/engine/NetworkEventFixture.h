// Network events and a prompt whose answer the test chooses, for the network guard tests.
#pragma once

#include <string>

#include "core/engine/NetworkPrompt.h"
#include "core/events/EventViews.h"

namespace palisor::testing {

// A SEND from C:\PROGRAM FILES\TEST\CLIENT.EXE, 10.0.0.5:1025 -> 93.184.216.34:80, payload "hello".
inline events::NetworkEventView MakeSendEvent(std::string payload = "hello") {
  events::NetworkEventView e;
  e.processId = 4242;
  e.operationCode = 1;
  e.application = "C:\\PROGRAM FILES\\TEST\\CLIENT.EXE";
  e.operation = "SEND";
  e.protocol = "TCP";
  e.localAddress = e.sourceAddress = "10.0.0.5";
  e.localPort = e.sourcePort = "1025";
  e.remoteAddress = e.destinationAddress = "93.184.216.34";
  e.remotePort = e.destinationPort = "80";
  e.payload = std::move(payload);
  return e;
}

// Keeps a copy of what it was asked and gives the answer the test set; by default the preset.
class ScriptedPrompt final : public engine::NetworkPrompt {
 public:
  struct Asked {
    std::string fileName, directory, operation, protocol, sourceAddress, sourcePort, destinationAddress,
        destinationPort, packetHeader;
    std::size_t packetSize = 0;
    bool presetPass = true;
  };

  bool IsShowing() const override { return showing; }
  engine::NetworkPromptAnswer Ask(const engine::NetworkPromptRequest& r) override {
    ++asked;
    last = {std::string(r.fileName), std::string(r.directory), std::string(r.operation), std::string(r.protocol),
            std::string(r.sourceAddress), std::string(r.sourcePort), std::string(r.destinationAddress),
            std::string(r.destinationPort), std::string(r.packetHeader), r.packetSize, r.presetPass};
    engine::NetworkPromptAnswer a = answer;
    if (answerPreset) a.pass = r.presetPass;
    return a;
  }

  bool showing = false;
  bool answerPreset = true;  // the window closed by itself
  engine::NetworkPromptAnswer answer;
  int asked = 0;
  Asked last;
};

}  // namespace palisor::testing
