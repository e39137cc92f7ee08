// Makes one system call of those the hook library intercepts and prints its outcome, for the
// end-to-end tests of the system guard's road.
//
//   syscalls OP ARGS... [--wide] [--repeat N] [--interval MS] [--await-hook MS] [--preset-error E]
//     loadlib NAME | getattr PATH | open PATH | create PATH | delete PATH
//     getproc MODULE NAME            prints also inside_hook=1 when the address is the hook's
//     regset SUBKEY VALUE DATA       under HKEY_CURRENT_USER; regquery SUBKEY VALUE;
//     regdelete SUBKEY VALUE         regdeletekey SUBKEY CHILD
//     exec COMMANDLINE               CreateProcess, waits for the child, prints its exit code
//     winexec COMMANDLINE
//
// Prints "OP i=I result=R error=E hooked=H" per call: R is 1 for success and 0 for failure (the
// registry calls print their status as E), H whether the call went through the hook library.
// loadlib, getattr, open, create and delete also print "last=L": the thread's last error right
// after the call, which --preset-error sets to E just before it (to show what a call that
// succeeds leaves there).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "HookProbe.h"

namespace {

std::wstring Wide(const std::string& text) {
  std::wstring out(text.size(), L'\0');
  const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(),
                                    static_cast<int>(out.size()));
  out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return out;
}

// What the import slot of the function that `op` calls holds now (see HookProbe.h).
const void* SlotOf(const std::string& op, bool wide) {
  using palisor::tools::SlotOf;
  if (op == "loadlib") return wide ? SlotOf(&LoadLibraryW) : SlotOf(&LoadLibraryA);
  if (op == "getattr") return wide ? SlotOf(&GetFileAttributesW) : SlotOf(&GetFileAttributesA);
  if (op == "open" || op == "create") return wide ? SlotOf(&CreateFileW) : SlotOf(&CreateFileA);
  if (op == "delete") return wide ? SlotOf(&DeleteFileW) : SlotOf(&DeleteFileA);
  if (op == "getproc") return SlotOf(&GetProcAddress);
  if (op == "exec") return wide ? SlotOf(&CreateProcessW) : SlotOf(&CreateProcessA);
  if (op == "winexec") return SlotOf(&WinExec);
  if (op == "regset") return wide ? SlotOf(&RegSetValueExW) : SlotOf(&RegSetValueExA);
  if (op == "regquery") return wide ? SlotOf(&RegQueryValueExW) : SlotOf(&RegQueryValueExA);
  if (op == "regdelete") return wide ? SlotOf(&RegDeleteValueW) : SlotOf(&RegDeleteValueA);
  return wide ? SlotOf(&RegDeleteKeyW) : SlotOf(&RegDeleteKeyA);
}

struct Outcome {
  int result;
  DWORD error;
  std::string extra;
};

HKEY OpenUserKey(const std::string& subKey) {
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_CURRENT_USER, subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  return key;
}

Outcome Registry(const std::string& op, const std::vector<std::string>& a, bool wide) {
  HKEY key = OpenUserKey(a[0]);
  if (!key) return {0, GetLastError(), ""};
  LSTATUS status = ERROR_INVALID_FUNCTION;
  if (op == "regset") {
    status = wide ? RegSetValueExW(key, Wide(a[1]).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(Wide(a[2]).c_str()),
                                   static_cast<DWORD>((a[2].size() + 1) * sizeof(wchar_t)))
                  : RegSetValueExA(key, a[1].c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(a[2].c_str()),
                                   static_cast<DWORD>(a[2].size() + 1));
  } else if (op == "regquery") {
    BYTE data[512];
    DWORD size = sizeof data;
    status = wide ? RegQueryValueExW(key, Wide(a[1]).c_str(), nullptr, nullptr, data, &size)
                  : RegQueryValueExA(key, a[1].c_str(), nullptr, nullptr, data, &size);
  } else if (op == "regdelete") {
    status = wide ? RegDeleteValueW(key, Wide(a[1]).c_str()) : RegDeleteValueA(key, a[1].c_str());
  } else if (op == "regdeletekey") {
    status = wide ? RegDeleteKeyW(key, Wide(a[1]).c_str()) : RegDeleteKeyA(key, a[1].c_str());
  }
  RegCloseKey(key);
  return {status == ERROR_SUCCESS ? 1 : 0, static_cast<DWORD>(status), ""};
}

Outcome Execute(const std::string& commandLine, bool wide) {
  PROCESS_INFORMATION info{};
  BOOL ok;
  if (wide) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring command = Wide(commandLine);
    ok = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info);
  } else {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string command = commandLine;
    ok = CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info);
  }
  if (!ok) return {0, GetLastError(), ""};
  WaitForSingleObject(info.hProcess, 120000);
  DWORD exitCode = 0;
  GetExitCodeProcess(info.hProcess, &exitCode);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return {1, 0, " exit=" + std::to_string(exitCode)};
}

// The outcome of a call on one path; `last` is the last error right after it.
Outcome PathOutcome(bool ok, DWORD last) { return {ok ? 1 : 0, ok ? 0 : last, " last=" + std::to_string(last)}; }

Outcome Run(const std::string& op, const std::vector<std::string>& a, bool wide, DWORD presetError) {
  const std::wstring widePath = Wide(a[0]);
  const char* path = a[0].c_str();
  if (op == "loadlib") {
    SetLastError(presetError);
    HMODULE m = wide ? LoadLibraryW(widePath.c_str()) : LoadLibraryA(path);
    return PathOutcome(m != nullptr, GetLastError());
  }
  if (op == "getattr") {
    SetLastError(presetError);
    DWORD attributes = wide ? GetFileAttributesW(widePath.c_str()) : GetFileAttributesA(path);
    return PathOutcome(attributes != INVALID_FILE_ATTRIBUTES, GetLastError());
  }
  if (op == "open" || op == "create") {
    const DWORD access = op == "open" ? GENERIC_READ : GENERIC_WRITE;
    const DWORD disposition = op == "open" ? OPEN_EXISTING : CREATE_ALWAYS;
    SetLastError(presetError);
    HANDLE h = wide ? CreateFileW(widePath.c_str(), access, 0, nullptr, disposition, 0, nullptr)
                    : CreateFileA(path, access, 0, nullptr, disposition, 0, nullptr);
    const Outcome outcome = PathOutcome(h != INVALID_HANDLE_VALUE, GetLastError());
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return outcome;
  }
  if (op == "delete") {
    SetLastError(presetError);
    BOOL ok = wide ? DeleteFileW(widePath.c_str()) : DeleteFileA(path);
    return PathOutcome(ok, GetLastError());
  }
  if (op == "getproc") {
    HMODULE module = LoadLibraryA(a[0].c_str());
    FARPROC address = module ? GetProcAddress(module, a[1].c_str()) : nullptr;
    const DWORD error = address ? 0 : GetLastError();
    HMODULE hook = GetModuleHandleA("PalisorDLL.dll");
    HMODULE owner = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(address), &owner);
    return {address ? 1 : 0, error,
            std::string(" inside_hook=") + (address && hook && owner == hook ? "1" : "0")};
  }
  if (op == "exec") return Execute(a[0], wide);
  if (op == "winexec") {
    const UINT code = WinExec(a[0].c_str(), SW_HIDE);
    return {code > 31 ? 1 : 0, code > 31 ? 0 : GetLastError(), " code=" + std::to_string(code)};
  }
  return Registry(op, a, wide);
}

}  // namespace

int main(int argc, char** argv) {
  setvbuf(stdout, nullptr, _IONBF, 0);
  if (argc < 3) {
    std::fprintf(stderr, "usage: syscalls OP ARGS... [--wide] [--repeat N] [--interval MS]\n");
    return 1;
  }
  const std::string op = argv[1];
  std::vector<std::string> args;
  bool wide = false;
  int repeat = 1;
  DWORD intervalMs = 0, awaitHookMs = 0, presetError = 0;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--wide") wide = true;
    else if (arg == "--repeat" && i + 1 < argc) repeat = std::atoi(argv[++i]);
    else if (arg == "--interval" && i + 1 < argc) intervalMs = static_cast<DWORD>(std::atol(argv[++i]));
    else if (arg == "--await-hook" && i + 1 < argc) awaitHookMs = static_cast<DWORD>(std::atol(argv[++i]));
    else if (arg == "--preset-error" && i + 1 < argc) presetError = static_cast<DWORD>(std::atol(argv[++i]));
    else args.push_back(arg);
  }
  const std::size_t needed = op == "regset" ? 3 : (op == "getproc" || op.rfind("reg", 0) == 0) ? 2 : 1;
  if (args.size() < needed) {
    std::fprintf(stderr, "%s needs %zu arguments\n", op.c_str(), needed);
    return 1;
  }
  palisor::tools::AwaitHook([&] { return SlotOf(op, wide); }, awaitHookMs);
  for (int i = 0; i < repeat; ++i) {
    if (i > 0 && intervalMs) Sleep(intervalMs);
    const int hooked = palisor::tools::InsideHookLibrary(SlotOf(op, wide)) ? 1 : 0;
    const Outcome outcome = Run(op, args, wide, presetError);  // its error is taken before anything else runs
    std::printf("%s i=%d result=%d error=%lu hooked=%d%s\n", op.c_str(), i, outcome.result, outcome.error, hooked,
                outcome.extra.c_str());
  }
  return 0;
}
