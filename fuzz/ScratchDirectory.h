// A private directory for the targets that go through real files: made once per process (in
// /dev/shm when it exists, so the files stay in memory) and removed at exit.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

namespace palisor::fuzz {

class ScratchDirectory {
 public:
  ScratchDirectory() {
    std::string pattern = std::filesystem::is_directory("/dev/shm") ? "/dev/shm/palisor-fuzz-XXXXXX"
                                                                    : "/tmp/palisor-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data())) std::abort();
    path_ = pattern + "/";
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  // With its trailing separator, as the stores take their program directory.
  const std::string& Path() const { return path_; }

  void Write(const char* name, std::string_view bytes) const {
    std::FILE* file = std::fopen((path_ + name).c_str(), "wb");
    if (!file) std::abort();
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  std::string Read(const char* name) const {
    std::string bytes;
    std::FILE* file = std::fopen((path_ + name).c_str(), "rb");
    if (!file) return bytes;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) bytes.append(buffer, got);
    std::fclose(file);
    return bytes;
  }

 private:
  std::string path_;
};

}  // namespace palisor::fuzz
