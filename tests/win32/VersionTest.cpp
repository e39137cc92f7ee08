// The build's one version in every binary's version resource and on the about tab.
#include "ShellTestSupport.h"

#include <cstdio>
#include <string>
#include <vector>

#include "ProductInfo.h"
#include "win32/app/ControlIds.h"

namespace palisor::win32::testing {
namespace {

// A file of the build: this program runs from its tests\ folder.
std::string BuiltFile(const std::string& relative) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string directory(path);
  directory.resize(directory.find_last_of('\\'));      // tests
  directory.resize(directory.find_last_of('\\') + 1);  // the build
  return directory + relative;
}

struct VersionResource {
  bool found = false;
  VS_FIXEDFILEINFO fixed{};
  std::vector<char> data;

  explicit VersionResource(const std::string& file) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(file.c_str(), &ignored);
    if (size == 0) return;
    data.resize(size);
    if (!GetFileVersionInfoA(file.c_str(), 0, size, data.data())) return;
    void* block = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(data.data(), "\\", &block, &length) || length < sizeof fixed) return;
    fixed = *static_cast<VS_FIXEDFILEINFO*>(block);
    found = true;
  }

  std::string String(const char* name) {
    void* text = nullptr;
    UINT length = 0;
    // The strings of the first language and code page the resource names.
    struct Translation {
      WORD language, codePage;
    }* translation = nullptr;
    if (!VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) ||
        length < sizeof *translation) {
      return "(no translation)";
    }
    char block[64];
    std::snprintf(block, sizeof block, "\\StringFileInfo\\%04X%04X\\", translation->language, translation->codePage);
    const std::string path = block + std::string(name);
    if (!VerQueryValueA(data.data(), path.c_str(), &text, &length) || length == 0) return "(missing)";
    return static_cast<const char*>(text);
  }
};

TEST(VersionResourceTest, EveryBinaryCarriesTheBuildsVersion) {
  const DWORD major = PALISOR_VERSION_MAJOR, minor = PALISOR_VERSION_MINOR, patch = PALISOR_VERSION_PATCH;
  const char* helper = sizeof(void*) == 8 ? "PalisorHelper64.exe" : "PalisorHelper32.exe";
  for (const char* name : {"Palisor.exe", "PalisorDLL.dll", "FWDLL.dll", helper}) {
    SCOPED_TRACE(name);
    VersionResource version(BuiltFile(std::string("bin\\") + name));
    ASSERT_TRUE(version.found);
    EXPECT_EQ(version.fixed.dwFileVersionMS, (major << 16) | minor);
    EXPECT_EQ(version.fixed.dwFileVersionLS, patch << 16);
    EXPECT_EQ(version.fixed.dwProductVersionMS, (major << 16) | minor);
    EXPECT_EQ(version.fixed.dwProductVersionLS, patch << 16);
    EXPECT_EQ(version.String("FileVersion"), PALISOR_VERSION);
    EXPECT_EQ(version.String("ProductVersion"), PALISOR_VERSION);
    EXPECT_EQ(version.String("ProductName"), "Palisor");
    EXPECT_EQ(version.String("CompanyName"), PALISOR_PUBLISHER);
    EXPECT_EQ(version.String("OriginalFilename"), name);
  }
}

// The installer is made only where makensis is installed.
TEST(VersionResourceTest, TheInstallerCarriesTheBuildsVersion) {
  const std::string setup = BuiltFile("PalisorSetup.exe");
  if (GetFileAttributesA(setup.c_str()) == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "no " << setup;
  VersionResource version(setup);
  ASSERT_TRUE(version.found);
  EXPECT_EQ(version.fixed.dwProductVersionMS, (DWORD{PALISOR_VERSION_MAJOR} << 16) | PALISOR_VERSION_MINOR);
  EXPECT_EQ(version.fixed.dwProductVersionLS, DWORD{PALISOR_VERSION_PATCH} << 16);
  EXPECT_EQ(version.String("ProductVersion"), PALISOR_VERSION);
  EXPECT_EQ(version.String("CompanyName"), PALISOR_PUBLISHER);
  EXPECT_EQ(version.String("OriginalFilename"), "PalisorSetup.exe");
}

class AboutTabTest : public ShellFixture {};

TEST_F(AboutTabTest, ShowsTheVersionThePublisherAndTheDescription) {
  Start();
  const std::string text = TextOf(ids::kAboutText);
  EXPECT_EQ(text.rfind(std::string("Version ") + PALISOR_VERSION + "\r\n" + PALISOR_PUBLISHER + "\r\n\r\n", 0), 0u)
      << text;
  // The description comes from the resource, its lines ended as the label needs them.
  EXPECT_NE(text.find("Network Guard: decides which program may use the network, and with what.\r\nSystem Guard"),
            std::string::npos)
      << text;
}

}  // namespace
}  // namespace palisor::win32::testing
