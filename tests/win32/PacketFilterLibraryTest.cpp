// The Win32 loader against the real FWDLL.dll (built beside Palisor.exe in bin/), and what a
// guarded process then reads from the shared rule table.
#include "win32/packetfilter/Win32PacketFilterLibrary.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/packetfilter/Conversions.h"
#include "core/packetfilter/FilterBackend.h"
#include "fwdll/SharedRuleTableReader.h"

using namespace palisor;
using packetfilter::FilterEntry;
using packetfilter::FilterVerdict;

namespace {

std::string ExecutableDirectory() {
  char path[MAX_PATH];
  std::string text(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
  return text.substr(0, text.find_last_of("\\/") + 1);
}

// bin/ of the build tree, beside tests/.
std::string BinDirectory() { return ExecutableDirectory() + "..\\bin\\"; }

constexpr FilterEntry kAllEntries[] = {FilterEntry::LoadDriver, FilterEntry::StartFirewall, FilterEntry::StopFirewall,
                                       FilterEntry::ClearRules, FilterEntry::AddRule, FilterEntry::RuleSection};

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// Another program's section under a well-known name, filled with a marker byte, for as long as
// the object lives.
class ForeignSection {
 public:
  explicit ForeignSection(const char* name) {
    handle_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                 static_cast<DWORD>(packetfilter::kSectionSize), name);
    view_ = handle_ ? static_cast<unsigned char*>(MapViewOfFile(handle_, FILE_MAP_WRITE, 0, 0, 0)) : nullptr;
    if (view_) std::memset(view_, kMarker, packetfilter::kSectionSize);
  }
  ~ForeignSection() {
    if (view_) UnmapViewOfFile(view_);
    if (handle_) CloseHandle(handle_);
  }
  ForeignSection(const ForeignSection&) = delete;
  ForeignSection& operator=(const ForeignSection&) = delete;

  bool Held() const { return view_ != nullptr; }
  // Whether every byte still holds the marker.
  bool Untouched() const {
    for (std::size_t i = 0; i < packetfilter::kSectionSize; ++i) {
      if (view_[i] != kMarker) return false;
    }
    return true;
  }

 private:
  static constexpr unsigned char kMarker = 0xA5;
  HANDLE handle_ = nullptr;
  unsigned char* view_ = nullptr;
};

packetfilter::FilterQuery SendTo(const char* address, int port) {
  return packetfilter::FilterQueryFor(1, packetfilter::kProtocolTcp, packetfilter::InetAddr("10.0.0.5"), 0x0104,
                                      packetfilter::InetAddr(address),
                                      static_cast<std::uint16_t>(packetfilter::PortArgument(port)));
}

}  // namespace

TEST(Win32PacketFilterLibrary, MissingLibraryGivesTheSystemError) {
  win32::Win32PacketFilterLibrary library(ExecutableDirectory() + "no such directory\\");
  packetfilter::SystemErrorInfo error;
  EXPECT_FALSE(library.Load(error));
  EXPECT_EQ(error.code, static_cast<std::uint32_t>(ERROR_MOD_NOT_FOUND));
  EXPECT_FALSE(error.text.empty());
  EXPECT_NE(error.text.back(), '\n');
  EXPECT_FALSE(library.IsLoaded());
  for (FilterEntry entry : kAllEntries) EXPECT_FALSE(library.Has(entry));
  EXPECT_NE(library.StartFirewall(), 0) << "an absent entry is never a success";
}

TEST(Win32PacketFilterLibrary, RealLibraryTakesRulesInArgumentOrder) {
  win32::Win32PacketFilterLibrary library(BinDirectory());
  packetfilter::SystemErrorInfo error;
  ASSERT_TRUE(library.Load(error)) << error.code << " " << error.text;
  for (FilterEntry entry : kAllEntries) EXPECT_TRUE(library.Has(entry));
  ASSERT_EQ(library.LoadDriver(), 0);
  std::string section;
  EXPECT_EQ(library.RuleSection(section), 0);
  EXPECT_TRUE(section == packetfilter::kGlobalSectionName || section == packetfilter::kLocalSectionName) << section;

  // Destination 1.2.3.0/24 port 443 is dropped; the source end is left open.
  packetfilter::RuleArguments rule;
  rule.protocol = packetfilter::kProtocolTcp;
  rule.destinationAddress = packetfilter::InetAddr("1.2.3.0");
  rule.destinationMask = packetfilter::InetAddr("255.255.255.0");
  rule.destinationPort = packetfilter::PortArgument(443);
  rule.action = packetfilter::kActionDrop;
  EXPECT_EQ(library.AddRule(rule), 0);
  EXPECT_EQ(library.StartFirewall(), 0);

  fwdll::SharedRuleTableReader reader;  // a second view, as a guarded process maps it
  const struct {
    const char* address;
    int port;
    FilterVerdict verdict;
  } cases[] = {{"1.2.3.77", 443, FilterVerdict::Drop},
               {"1.2.3.77", 80, FilterVerdict::NoMatch},
               {"1.2.4.77", 443, FilterVerdict::NoMatch}};
  for (const auto& c : cases) EXPECT_EQ(reader.Lookup(SendTo(c.address, c.port)), c.verdict) << c.address;

  rule.action = 7;
  EXPECT_EQ(library.AddRule(rule), packetfilter::kFilterInvalidAction);
  EXPECT_EQ(library.ClearRules(), 0);
  EXPECT_EQ(reader.Lookup(SendTo("1.2.3.77", 443)), FilterVerdict::NoMatch);
  EXPECT_EQ(library.StopFirewall(), 0);

  library.Unload();
  EXPECT_FALSE(library.IsLoaded());
  EXPECT_FALSE(library.Has(FilterEntry::AddRule));
}

TEST(Win32PacketFilterLibrary, TakenSectionNameLeavesThatSectionAloneAndMovesTheRulesToAPrivateName) {
  ForeignSection global(packetfilter::kGlobalSectionName), local(packetfilter::kLocalSectionName);
  ASSERT_TRUE(global.Held() && local.Held());
  std::string names[2];
  for (std::string& section : names) {
    win32::Win32PacketFilterLibrary library(BinDirectory());
    packetfilter::SystemErrorInfo error;
    ASSERT_TRUE(library.Load(error)) << error.code << " " << error.text;
    ASSERT_EQ(library.LoadDriver(), 0);
    EXPECT_EQ(library.RuleSection(section), packetfilter::kFilterSectionNameTaken);
    EXPECT_TRUE(StartsWith(section, "Global\\PalisorPacketFilter.") || StartsWith(section, "Local\\PalisorPacketFilter."))
        << section;

    packetfilter::RuleArguments dropAll;
    ASSERT_EQ(library.AddRule(dropAll), 0);
    ASSERT_EQ(library.StartFirewall(), 0);
    fwdll::SharedRuleTableReader reader;
    EXPECT_EQ(reader.Lookup(SendTo("1.2.3.4", 80)), FilterVerdict::NoMatch) << "the foreign section holds no table";
    reader.UseSection(section.c_str());
    EXPECT_EQ(reader.Lookup(SendTo("1.2.3.4", 80)), FilterVerdict::Drop);
    reader.UseSection("");
    EXPECT_EQ(reader.Lookup(SendTo("1.2.3.4", 80)), FilterVerdict::NoMatch);
    EXPECT_TRUE(global.Untouched() && local.Untouched());
  }
  EXPECT_NE(names[0], names[1]) << "each start draws a fresh name";
}
