// The ids of the main window's controls and menu items. One name space for the whole window: a
// page hands the commands it does not know to the main window, and the main window hands menu
// commands of a page (shortcut keys) back to that page.
#pragma once

namespace palisor::win32::ids {

enum : int {
  // The window itself
  kMainPanel = 100, kBanner, kImage2, kBitBtn1, kStatusBar2,
  kNetworkPanel, kSystemGuard, kLogPanel, kAdvNetGuard, kAboutPage,

  // PopupMenu1 (tab control, the two guard tabs, the tray icon). The installer ends a running
  // Palisor by sending kExit1 (206) as WM_COMMAND (installer/Palisor.nsi, EXIT_COMMAND).
  kEnableProfilingMode1 = 200, kStartFirewall1, kHide1, kMaxLogEntries1, kSaveSettings1, kShowSplashscreen1, kExit1,

  // "Network Guard"
  kPStartFwl = 300, kBitBtn4, kPEmgStop, kCbAutostart, kCbAutohide, kCbDoNetLog, kLabel9, kEdContentLine,
  kLbContentList, kLabel13, kCbContentRule, kLbContentRules, kRules, kFwlOn, kFwlOff,
  // PopupMenu4 (Rules), PopupMenu5 (lbContentList)
  kClearTrafficRules1 = 350, kDeleteRule1, kSaveRules1, kClearContentRules1, kDeleteContentRule1,

  // "System Guard"
  kCbSyswatch = 400, kCbLogApp, kCbLearning, kRgVerbose, kRgVerboseAllEvents = kRgVerbose,
  kRgVerboseDropOnly, kAllowedGroup, kLbAllowedApps, kForbiddenGroup, kLbForbiddenApps, kProcessGroup, kGrid,
  kStatusBar1,
  // PopupMenu7 (allowed), PopupMenu8 (forbidden), PopupMenu10 (Grid)
  kClearAplicationList1 = 450, kDeleteEntry1, kMoveToDeny1, kClearForbiddenAppsList1, kDeleteEntry2,
  kAllowSelectedApplication1, kRefresh1, kCloseProcess1, kAllowThisProcess1, kDenyThisProcess1,
  kProcessListUpdateSpeed1,

  // "Activity Log"
  kLabel2 = 500, kTrafficLog, kLabel1, kSysLog,
  // PopupMenu2 (SysLog), PopupMenu3 (TrafficLog)
  kClear1 = 550, kClearTrafficLog1, kAddWithDeny, kAddWithAllow, kBlockThisApplication1, kBlockThisDestination1,
  kBlockThisSource1, kAllowThisApplication1, kAllowThisDestination1, kAllowThisSource1,

  // "Advanced Network Guard"
  kGroupBox2 = 600, kCbAdvProto, kCbAdvAction, kESrcIP, kESrcMask, kESrcPort, kEDstIP, kEDstMask, kEDstPort,
  kPAdvNetGuard, kLabel30, kRulesGrid,
  // PopupMenu9 (RulesGrid)
  kApplyRules1 = 650, kClearRules1, kDeleteRule2, kSaveRules2,

  // "About"
  kAboutGroup = 700, kProductName, kWebsiteLabel, kWebsiteValue, kEmailLabel, kEmailValue, kAboutText,
};

}  // namespace palisor::win32::ids
