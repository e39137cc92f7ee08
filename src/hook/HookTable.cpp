#include "hook/HookTable.h"

#include <iterator>

#include "hook/NetworkHooks.h"
#include "hook/SystemHooks.h"

namespace palisor::hook {
namespace {

constexpr const char* kWinsock = "ws2_32.dll";
constexpr const char* kKernel = "kernel32.dll";
constexpr const char* kAdvapi = "advapi32.dll";
constexpr const char* kKernelBase = "kernelbase.dll";

template <class Function>
void* Address(Function function) {
  return reinterpret_cast<void*>(function);
}

HookedFunction g_functions[] = {
    {HookId::Recv, kWinsock, nullptr, "recv", Address(&Mine_recv)},
    {HookId::Send, kWinsock, nullptr, "send", Address(&Mine_send)},
    {HookId::RecvFrom, kWinsock, nullptr, "recvfrom", Address(&Mine_recvfrom)},
    {HookId::SendTo, kWinsock, nullptr, "sendto", Address(&Mine_sendto)},
    {HookId::WsaSend, kWinsock, nullptr, "WSASend", Address(&Mine_WSASend)},
    {HookId::WsaRecv, kWinsock, nullptr, "WSARecv", Address(&Mine_WSARecv)},
    {HookId::Accept, kWinsock, nullptr, "accept", Address(&Mine_accept)},
    {HookId::Connect, kWinsock, nullptr, "connect", Address(&Mine_connect)},
    {HookId::Bind, kWinsock, nullptr, "bind", Address(&Mine_bind)},
    {HookId::CreateProcessA, kKernel, kKernelBase, "CreateProcessA", Address(&Mine_CreateProcessA)},
    {HookId::CreateProcessW, kKernel, kKernelBase, "CreateProcessW", Address(&Mine_CreateProcessW)},
    {HookId::WinExec, kKernel, nullptr, "WinExec", Address(&Mine_WinExec)},
    {HookId::LoadLibraryA, kKernel, kKernelBase, "LoadLibraryA", Address(&Mine_LoadLibraryA)},
    {HookId::LoadLibraryW, kKernel, kKernelBase, "LoadLibraryW", Address(&Mine_LoadLibraryW)},
    {HookId::LoadLibraryExA, kKernel, kKernelBase, "LoadLibraryExA", Address(&Mine_LoadLibraryExA)},
    {HookId::LoadLibraryExW, kKernel, kKernelBase, "LoadLibraryExW", Address(&Mine_LoadLibraryExW)},
    {HookId::GetFileAttributesA, kKernel, kKernelBase, "GetFileAttributesA", Address(&Mine_GetFileAttributesA)},
    {HookId::GetFileAttributesW, kKernel, kKernelBase, "GetFileAttributesW", Address(&Mine_GetFileAttributesW)},
    {HookId::CreateFileA, kKernel, kKernelBase, "CreateFileA", Address(&Mine_CreateFileA)},
    {HookId::CreateFileW, kKernel, kKernelBase, "CreateFileW", Address(&Mine_CreateFileW)},
    {HookId::DeleteFileA, kKernel, kKernelBase, "DeleteFileA", Address(&Mine_DeleteFileA)},
    {HookId::DeleteFileW, kKernel, kKernelBase, "DeleteFileW", Address(&Mine_DeleteFileW)},
    {HookId::GetProcAddress, kKernel, kKernelBase, "GetProcAddress", Address(&Mine_GetProcAddress)},
    {HookId::RegQueryValueExA, kAdvapi, kKernelBase, "RegQueryValueExA", Address(&Mine_RegQueryValueExA)},
    {HookId::RegQueryValueExW, kAdvapi, kKernelBase, "RegQueryValueExW", Address(&Mine_RegQueryValueExW)},
    {HookId::RegSetValueExA, kAdvapi, kKernelBase, "RegSetValueExA", Address(&Mine_RegSetValueExA)},
    {HookId::RegSetValueExW, kAdvapi, kKernelBase, "RegSetValueExW", Address(&Mine_RegSetValueExW)},
    {HookId::RegDeleteValueA, kAdvapi, kKernelBase, "RegDeleteValueA", Address(&Mine_RegDeleteValueA)},
    {HookId::RegDeleteValueW, kAdvapi, kKernelBase, "RegDeleteValueW", Address(&Mine_RegDeleteValueW)},
    {HookId::RegDeleteKeyA, kAdvapi, kKernelBase, "RegDeleteKeyA", Address(&Mine_RegDeleteKeyA)},
    {HookId::RegDeleteKeyW, kAdvapi, kKernelBase, "RegDeleteKeyW", Address(&Mine_RegDeleteKeyW)},
};
static_assert(std::size(g_functions) == static_cast<std::size_t>(HookId::Count));

void* ResolvePinned(const char* moduleName, const char* name) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_PIN, moduleName, &module) || !module) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(module, name));
}

}  // namespace

HookedFunction* HookedFunctions() { return g_functions; }

void ResolveRealFunctions() {
  for (HookedFunction& f : g_functions) {
    if (f.real) continue;
    void* exported = ResolvePinned(f.module, f.name);
    if (!exported) continue;
    void* implemented = f.implementingModule ? ResolvePinned(f.implementingModule, f.name) : nullptr;
    f.exported = exported;
    f.implemented = implemented;
    f.real = implemented ? implemented : exported;  // set last: a function with `real` is complete
  }
}

void* HookReplacing(const void* address) {
  if (!address) return nullptr;
  for (const HookedFunction& f : g_functions) {
    if (f.real && (address == f.exported || address == f.implemented)) return f.hook;
  }
  return nullptr;
}

}  // namespace palisor::hook
