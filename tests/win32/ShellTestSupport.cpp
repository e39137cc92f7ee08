#include "ShellTestSupport.h"

#include <fstream>
#include <iterator>
#include <sstream>

#include "core/settings/StoredSettings.h"

namespace palisor::win32::testing {

namespace {

int g_uniqueCounter = 0;
app::Firewall* g_reportTo = nullptr;

void ReportToFirewall(const char* message) {
  if (g_reportTo) g_reportTo->ReportError(message);
}

std::function<void()>* g_soon = nullptr;

void CALLBACK RunSoonTimer(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  std::unique_ptr<std::function<void()>> action(g_soon);
  g_soon = nullptr;
  if (action) (*action)();
}

BOOL CALLBACK MatchId(HWND window, LPARAM found) {
  auto* search = reinterpret_cast<std::pair<int, HWND>*>(found);
  if (GetDlgCtrlID(window) == search->first && !search->second) search->second = window;
  return TRUE;
}

}  // namespace

TemporaryDirectory::TemporaryDirectory() {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  path_ = std::string(temp) + "palisor-shell-" + std::to_string(GetCurrentProcessId()) + "-" +
          std::to_string(++g_uniqueCounter) + "\\";
  CreateDirectoryA(path_.c_str(), nullptr);
}

TemporaryDirectory::~TemporaryDirectory() {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((path_ + "*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA((path_ + found.cFileName).c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(path_.c_str());
}

void TemporaryDirectory::Write(const char* name, const std::string& bytes) const {
  std::ofstream out(File(name), std::ios::binary);
  out << bytes;
}

std::string TemporaryDirectory::Read(const char* name) const {
  std::ifstream in(File(name), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TemporaryKey::TemporaryKey(const char* leaf)
    : path_("Software\\PalisorTests\\Shell" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(++g_uniqueCounter) + "\\" + leaf) {
  RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
}

TemporaryKey::~TemporaryKey() {
  const std::string parent = path_.substr(0, path_.rfind('\\'));
  RegDeleteTreeA(HKEY_CURRENT_USER, parent.c_str());
}

void TemporaryKey::SetString(const char* name, const char* value) const {
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), static_cast<DWORD>(strlen(value) + 1));
  RegCloseKey(key);
}

void TemporaryKey::SetNumber(const char* name, DWORD value) const {
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
  RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(key);
}

std::optional<std::string> TemporaryKey::GetString(const char* name) const {
  char value[256] = {};
  DWORD size = sizeof value - 1;
  DWORD type = 0;
  if (RegGetValueA(HKEY_CURRENT_USER, path_.c_str(), name, RRF_RT_REG_SZ, &type, value, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return std::string(value);
}

std::string Records(const std::vector<std::vector<std::string>>& records) {
  std::string bytes;
  for (const auto& record : records) {
    for (const auto& field : record) {
      bytes += field;
      bytes += '\0';
    }
  }
  return bytes;
}

void ShellFixture::Start(const std::string& osKind) {
  memory_ = std::make_unique<Win32ProcessMemory>();
  clock_ = std::make_unique<Win32Clock>();
  // Events of this test process are decided like those of any other process.
  const std::uint32_t noProcess = 0xFFFFFFFE;
  firewall_ = std::make_unique<app::Firewall>(
      app::PlatformServices{*memory_, *clock_, noProcess, program_.Path(), &packetFilter_});
  g_reportTo = firewall_.get();
  Window::SetErrorHandler(&ReportToFirewall);
  store_ = std::make_unique<Win32RegistryStore>(HKEY_CURRENT_USER, settingsKey_.Path());
  processSystem_ = std::make_unique<Win32ProcessSystem>();
  processMonitor_ =
      std::make_unique<processes::ProcessMonitor>(*processSystem_, firewall_->Lists(), firewall_->AppSignatures());

  MainWindow::Options options;
  options.settingsStore = store_.get();
  options.programDirectory = program_.Path();
  options.osKind = osKind;
  options.processMonitor = processMonitor_.get();
  options.processListSystem = processListSystem_;
  options.desktop.confirm = [this](HWND, const char* question) {
    desktop_.questions.push_back(question);
    return desktop_.answerYes;
  };
  options.desktop.inputQuery = [this](HWND, const char* caption, const char*, const std::string&) {
    desktop_.inputCaptions.push_back(caption);
    return desktop_.inputAnswer;
  };
  options.desktop.shellExecute = [this](HWND parent, const char* verb, const std::string& file) {
    desktop_.opened.push_back({parent, verb ? verb : "(null)", file});
  };
  options.desktop.showSplash = [this] { ++desktop_.splashShown; };
  options.desktop.message = [this](HWND, const std::string& text) { desktop_.messages.push_back(text); };
  window_ = std::make_unique<MainWindow>(*firewall_, std::move(options));

  app::FirewallSwitch::Hooks hooks;
  hooks.packetFilterPresent = [osKind] { return osKind == kOsKindNt; };
  hooks.togglePacketFilter = [this] { window_->TogglePacketFilter(); };
  hooks.closeFiles = [this] { firewall_->CloseFiles(); };
  switch_ = std::make_unique<app::FirewallSwitch>(injection_, firewall_->SystemLog(), *window_, hooks);
  window_->SetFirewallSwitch(switch_.get());
  ASSERT_TRUE(window_->Create());
}

void ShellFixture::TearDown() {
  window_.reset();
  switch_.reset();
  processMonitor_.reset();
  Window::SetErrorHandler(nullptr);
  g_reportTo = nullptr;
  firewall_.reset();
  PumpMessages();
  MSG quit;
  while (PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
}

LRESULT ShellFixture::Command(int id, int notifyCode) {
  return SendMessageA(MainHandle(), WM_COMMAND, MAKEWPARAM(id, notifyCode), 0);
}

LRESULT ShellFixture::Tick(UINT_PTR timer) { return SendMessageA(MainHandle(), WM_TIMER, timer, 0); }

void ShellFixture::Click(int id) {
  HWND control = Find(id);
  ASSERT_NE(control, nullptr) << "control " << id;
  SendMessageA(control, BM_CLICK, 0, 0);
}

HWND ShellFixture::Find(int id) const { return FindDescendant(MainHandle(), id); }

std::string ShellFixture::TextOf(int id) const {
  char text[512] = {};
  GetWindowTextA(Find(id), text, sizeof text);
  return text;
}

bool ShellFixture::Checked(int id) const { return SendMessageA(Find(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

std::string ShellFixture::LastSysLogRow() {
  const stores::ListModel& rows = Core().SystemLog().rows;
  return rows.Empty() ? std::string() : rows.At(rows.Count() - 1).caption;
}

bool ShellFixture::SysLogHas(const std::string& text) {
  for (const stores::Row& row : Core().SystemLog().rows.Rows()) {
    if (row.caption.find(text) != std::string::npos) return true;
  }
  return false;
}

HWND FindDescendant(HWND root, int id) {
  std::pair<int, HWND> search{id, nullptr};
  EnumChildWindows(root, &MatchId, reinterpret_cast<LPARAM>(&search));
  return search.second;
}

void PumpMessages(DWORD milliseconds) {
  const DWORD start = GetTickCount();
  do {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(message.wParam));
        return;
      }
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (milliseconds) Sleep(1);
  } while (GetTickCount() - start < milliseconds);
}

void RunSoon(DWORD milliseconds, std::function<void()> action) {
  delete g_soon;
  g_soon = new std::function<void()>(std::move(action));
  SetTimer(nullptr, 0, milliseconds, &RunSoonTimer);
}

}  // namespace palisor::win32::testing
