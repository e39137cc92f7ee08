#include "core/app/FirewallSwitch.h"

namespace palisor::app {

void FirewallSwitch::btnStartFwlClick() {
  started_ = !started_;
  if (started_) {
    Start();
  } else {
    Stop();
  }
}

void FirewallSwitch::Start() {
  shell_.RefreshProcessList();
  shell_.EnableProcessListTimer(true);
  if (injection_.PlaceHookLibrary(platform::kHookTargetSet, platform::kHookLibraryName, platform::kHookWaitLimitMs)) {
    log_.AddSysLogLine("Palisor started!");
    shell_.SetTrayIcon(TrayPicture::Started, "Palisor Started");
    shell_.SetStartMenuCaption("Stop Firewall");
    shell_.SelectTab(kActivityLogTab);
  }
  shell_.SetStartButtonCaption("Stop Firewall");
  if (PacketFilterPresent() && hooks_.togglePacketFilter) hooks_.togglePacketFilter();
}

void FirewallSwitch::Stop() {
  shell_.EnableProcessListTimer(false);
  if (PacketFilterPresent() && hooks_.togglePacketFilter) hooks_.togglePacketFilter();
  if (injection_.RemoveHookLibrary(platform::kHookTargetSet, platform::kHookLibraryName, platform::kHookWaitLimitMs)) {
    log_.AddSysLogLine("Palisor stopped!");
    if (hooks_.closeFiles) hooks_.closeFiles();
    shell_.SetTrayIcon(TrayPicture::Stopped, "Palisor Stopped");
    shell_.SetStartMenuCaption("Start Palisor");
    shell_.EnableBlinkTimer(true);
  }
  shell_.SetStartButtonCaption("Start Firewall");
}

void FirewallSwitch::RemoveHookLibrary() {
  injection_.RemoveHookLibrary(platform::kHookTargetSet, platform::kHookLibraryName, platform::kHookWaitLimitMs);
}

}  // namespace palisor::app
