// The intercepted system calls: run a program, load a library, access, open or delete a file,
// resolve a function address, read, write or delete a registry value, delete a registry key.
// Each is decided before the real call, with the texts of wide-character calls converted to the
// ANSI code page; registry events name the key's full path and the value.
//
// A refused call fails as that function fails when access is refused: its failure value with
// ERROR_ACCESS_DENIED as the last error (the registry functions return ERROR_ACCESS_DENIED;
// WinExec returns it too, as its failure codes are last-error values below 32).
//
// Passed calls that start a process create it suspended, place the hook library into it and let
// it run only then, so that a child is guarded from its first call. A library load passed is
// followed by patching the modules it brought in. GetProcAddress hands out the hook for an
// intercepted function, so that functions looked up at run time are intercepted too.
#pragma once

#include <windows.h>

namespace palisor::hook {

BOOL WINAPI Mine_CreateProcessA(LPCSTR application, LPSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                                LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                                LPVOID environment, LPCSTR currentDirectory, LPSTARTUPINFOA startupInfo,
                                LPPROCESS_INFORMATION processInformation) noexcept;
BOOL WINAPI Mine_CreateProcessW(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                                LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                                LPVOID environment, LPCWSTR currentDirectory, LPSTARTUPINFOW startupInfo,
                                LPPROCESS_INFORMATION processInformation) noexcept;
UINT WINAPI Mine_WinExec(LPCSTR commandLine, UINT show) noexcept;
HMODULE WINAPI Mine_LoadLibraryA(LPCSTR name) noexcept;
HMODULE WINAPI Mine_LoadLibraryW(LPCWSTR name) noexcept;
HMODULE WINAPI Mine_LoadLibraryExA(LPCSTR name, HANDLE file, DWORD flags) noexcept;
HMODULE WINAPI Mine_LoadLibraryExW(LPCWSTR name, HANDLE file, DWORD flags) noexcept;
DWORD WINAPI Mine_GetFileAttributesA(LPCSTR name) noexcept;
DWORD WINAPI Mine_GetFileAttributesW(LPCWSTR name) noexcept;
HANDLE WINAPI Mine_CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                               DWORD disposition, DWORD attributes, HANDLE templateFile) noexcept;
HANDLE WINAPI Mine_CreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                               DWORD disposition, DWORD attributes, HANDLE templateFile) noexcept;
BOOL WINAPI Mine_DeleteFileA(LPCSTR name) noexcept;
BOOL WINAPI Mine_DeleteFileW(LPCWSTR name) noexcept;
FARPROC WINAPI Mine_GetProcAddress(HMODULE module, LPCSTR name) noexcept;
LSTATUS WINAPI Mine_RegQueryValueExA(HKEY key, LPCSTR value, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                     LPDWORD size) noexcept;
LSTATUS WINAPI Mine_RegQueryValueExW(HKEY key, LPCWSTR value, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                     LPDWORD size) noexcept;
LSTATUS WINAPI Mine_RegSetValueExA(HKEY key, LPCSTR value, DWORD reserved, DWORD type, const BYTE* data, DWORD size) noexcept;
LSTATUS WINAPI Mine_RegSetValueExW(HKEY key, LPCWSTR value, DWORD reserved, DWORD type, const BYTE* data, DWORD size) noexcept;
LSTATUS WINAPI Mine_RegDeleteValueA(HKEY key, LPCSTR value) noexcept;
LSTATUS WINAPI Mine_RegDeleteValueW(HKEY key, LPCWSTR value) noexcept;
LSTATUS WINAPI Mine_RegDeleteKeyA(HKEY key, LPCSTR subKey) noexcept;
LSTATUS WINAPI Mine_RegDeleteKeyW(HKEY key, LPCWSTR subKey) noexcept;

// Whether GetProcAddress ever handed out a hook: then code of this process may hold the hook's
// address, and the library must stay loaded after its hooks are removed.
bool HookAddressHandedOut();

}  // namespace palisor::hook
