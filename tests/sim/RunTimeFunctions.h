// The functions a program finds with GetProcAddress, typed as on Windows, and
// small helpers the process and list-view tests share.
#ifndef SIM_TESTS_RUN_TIME_FUNCTIONS_H
#define SIM_TESTS_RUN_TIME_FUNCTIONS_H

#include <string>

#include "SimWorld.h"

typedef LPVOID(WINAPI* VirtualAllocExFn)(HANDLE, LPVOID, SIZE_T, DWORD, DWORD);
typedef BOOL(WINAPI* VirtualFreeExFn)(HANDLE, LPVOID, SIZE_T, DWORD);
typedef HANDLE(WINAPI* CreateToolhelp32SnapshotFn)(DWORD, DWORD);
typedef BOOL(WINAPI* Process32Fn)(HANDLE, LPPROCESSENTRY32);
typedef BOOL(WINAPI* QueryFullProcessImageNameAFn)(HANDLE, DWORD, LPSTR, PDWORD);
typedef BOOL(WINAPI* IsWow64ProcessFn)(HANDLE, PBOOL);
typedef BOOL(WINAPI* Wow64DisableWow64FsRedirectionFn)(PVOID*);
typedef BOOL(WINAPI* Wow64RevertWow64FsRedirectionFn)(PVOID);
typedef BOOL(WINAPI* EnumProcessModulesFn)(HANDLE, HMODULE*, DWORD, LPDWORD);
typedef DWORD(WINAPI* GetModuleFileNameExAFn)(HANDLE, HMODULE, LPSTR, DWORD);

template <typename F>
F Lookup(HMODULE module, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

template <typename F>
F Kernel32(const char* name) {
  return Lookup<F>(GetModuleHandleA("kernel32.dll"), name);
}

// A block of read-write memory in another process (0 where Windows has no
// VirtualAllocEx).
inline ULONG_PTR RemoteAlloc(HANDLE process, SIZE_T size) {
  auto alloc = Kernel32<VirtualAllocExFn>("VirtualAllocEx");
  if (!alloc) return 0;
  return reinterpret_cast<ULONG_PTR>(
      alloc(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
}

inline BOOL RemoteWrite(HANDLE process, ULONG_PTR address, const std::string& bytes) {
  return WriteProcessMemory(process, reinterpret_cast<LPVOID>(address), bytes.data(), bytes.size(),
                            nullptr);
}

#endif  // SIM_TESTS_RUN_TIME_FUNCTIONS_H
