// Other processes: opening them, their memory (VirtualAllocEx,
// ReadProcessMemory, WriteProcessMemory), the Tool Help process list, the
// PSAPI module functions, image names and WOW64.
//
// The memory of another process is modelled, not real: VirtualAllocEx gives
// an address in that process's address space, from 0x00A10000 up for a 32-bit
// process and from 0x000001A000000000 up for a 64-bit one, so a program that
// cuts a 64-bit address to 32 bits lands on nothing. Only the memory functions
// and the process's own controls reach it. Addresses are never reused, so an
// address kept after VirtualFreeEx stays stale. The program's own process can
// be opened, but its memory is not modelled: memory calls on it fail.
//
// The functions that Windows exports only from some versions are static here
// and reachable through GetProcAddress alone (see Modules.cpp).
//
// Image paths are UTF-16. The A functions give them in the ANSI code page
// with best-fit, as Windows converts them; so does Tool Help, whose entries
// hold ANSI names only.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "SimInternal.h"

namespace sim {

namespace {

constexpr SIZE_T kPageSize = 0x1000;
constexpr ULONG_PTR kAllocationGranularity = 0x10000;
constexpr ULONG_PTR kFirstAddress32 = 0x00A10000;
constexpr ULONG_PTR kAddressLimit32 = 0x7FFF0000;
constexpr ULONG_PTR kFirstAddress64 = 0x000001A000000000ull;
constexpr ULONG_PTR kAddressLimit64 = 0x000007FFFFFF0000ull;
// Remote memory is host memory; no test needs more than this per process.
constexpr SIZE_T kMaxBytesPerProcess = SIZE_T(256) << 20;
// Process rights that Windows before Vista does not know (it refuses them).
constexpr DWORD kVistaProcessRights = 0xF000;

HANDLE CurrentProcessPseudoHandle() { return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)); }

ULONG_PTR RoundUp(ULONG_PTR n, ULONG_PTR unit) { return (n + unit - 1) / unit * unit; }

bool NtAtLeast(DWORD major, DWORD minor) {
  const World::Impl& s = State();
  return !IsWin9x() && (s.osMajor > major || (s.osMajor == major && s.osMinor >= minor));
}

int BitnessOf(const ProcessObj& p) {
  return p.id == kProgramProcessId ? State().programBitness : p.bitness;
}

// The rights a handle gets: generic rights become the process rights they
// stand for, and from Vista on the full query right brings the limited one.
DWORD GrantedRights(DWORD desired) {
  DWORD granted = desired & 0x00FFFFFF;  // without the generic rights and MAXIMUM_ALLOWED
  if (desired & (GENERIC_ALL | MAXIMUM_ALLOWED)) granted |= PROCESS_ALL_ACCESS;
  if (desired & GENERIC_READ) granted |= READ_CONTROL | PROCESS_VM_READ | PROCESS_QUERY_INFORMATION;
  if (desired & GENERIC_WRITE) {
    granted |= READ_CONTROL | PROCESS_CREATE_PROCESS | PROCESS_CREATE_THREAD |
               PROCESS_VM_OPERATION | PROCESS_VM_WRITE | PROCESS_DUP_HANDLE | PROCESS_TERMINATE |
               PROCESS_SET_QUOTA | PROCESS_SET_INFORMATION | PROCESS_SUSPEND_RESUME;
  }
  if (desired & GENERIC_EXECUTE) granted |= READ_CONTROL | SYNCHRONIZE;
  if (NtAtLeast(6, 0) && (granted & PROCESS_QUERY_INFORMATION)) {
    granted |= PROCESS_QUERY_LIMITED_INFORMATION;
  }
  return granted;
}

// The process a handle names, with the rights it was opened with; null with
// ERROR_INVALID_HANDLE when it is no process handle.
ProcessObj* ProcessOf(HANDLE h, DWORD* granted) {
  if (h == CurrentProcessPseudoHandle()) {
    *granted = 0x001FFFFF;
    return FindProcess(kProgramProcessId);
  }
  KernelObject* obj = FindKernelObject(h, KernelObject::kProcess);
  ProcessObj* p = obj ? FindProcess(obj->processId) : nullptr;
  if (!p) {
    SetError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  *granted = obj->access;
  return p;
}

// The process, when the handle holds every right of `all` and at least one
// of `any` (when given); else null with the error set.
ProcessObj* ProcessWithRights(HANDLE h, DWORD all, DWORD any = 0) {
  DWORD granted = 0;
  ProcessObj* p = ProcessOf(h, &granted);
  if (!p) return nullptr;
  if ((granted & all) != all || (any && !(granted & any))) {
    SetError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  return p;
}

bool MemoryModelled(const ProcessObj& p) { return p.id != kProgramProcessId && !p.ended; }

// The region holding all of [address, address + size), with the offset of
// address in it.
RemoteRegion* RegionFor(ProcessObj& p, ULONG_PTR address, SIZE_T size, SIZE_T* offset) {
  auto it = p.memory.upper_bound(address);
  if (it == p.memory.begin()) return nullptr;
  --it;
  RemoteRegion& r = it->second;
  SIZE_T off = address - it->first;
  if (off >= r.bytes.size() || size > r.bytes.size() - off) return nullptr;
  *offset = off;
  return &r;
}

bool ValidAllocationProtect(DWORD protect) {
  if (protect & ~static_cast<DWORD>(0xFF | PAGE_GUARD | PAGE_NOCACHE)) return false;
  switch (protect & 0xFF) {
    case PAGE_NOACCESS:
    case PAGE_READONLY:
    case PAGE_READWRITE:
    case PAGE_EXECUTE:
    case PAGE_EXECUTE_READ:
    case PAGE_EXECUTE_READWRITE:
      return true;
    default:
      return false;  // the copy-on-write protections belong to mappings
  }
}

bool Allows(DWORD protect, RemoteAccess access) {
  if (protect & PAGE_GUARD) return false;
  DWORD base = protect & 0xFF;
  switch (access) {
    case RemoteAccess::kRead:
      return base != PAGE_NOACCESS;
    case RemoteAccess::kWriteFromOutside:
      // WriteProcessMemory makes execute-only pages writable for the write,
      // but refuses read-only and inaccessible ones.
      return base != PAGE_NOACCESS && base != PAGE_READONLY;
    case RemoteAccess::kWriteFromInside:
      return base == PAGE_READWRITE || base == PAGE_EXECUTE_READWRITE;
  }
  return false;
}

std::u16string BaseNameOf(const std::u16string& path) {
  size_t slash = path.find_last_of(u"\\/");
  return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

// "C:\dir\a.exe" as the kernel names it: "\Device\HarddiskVolume1\dir\a.exe".
std::u16string NativePathOf(const std::u16string& path) {
  if (path.size() < 2 || path[1] != u':' || path[0] > 0x7F) return path;
  int letter = std::toupper(static_cast<unsigned char>(path[0]));
  return AnsiToWide("\\Device\\HarddiskVolume" + std::to_string(letter - 'B')) + path.substr(2);
}

// ----- PSAPI's view of a process: its main image, ntdll and kernel32 -----

struct ModuleInfo {
  ULONG_PTR handle;
  const char* systemName;  // null for the main image
};

std::vector<ModuleInfo> ModulesOf(const ProcessObj& p) {
  if (p.id == kProgramProcessId) {
    return {{reinterpret_cast<ULONG_PTR>(SIM_PROGRAM_INSTANCE), nullptr},
            {reinterpret_cast<ULONG_PTR>(GetModuleHandleA("ntdll.dll")), "ntdll.dll"},
            {reinterpret_cast<ULONG_PTR>(GetModuleHandleA("kernel32.dll")), "kernel32.dll"}};
  }
  if (p.bitness == 64) {
    return {{0x0000000140000000ull, nullptr},
            {0x0000000077EC0000ull, "ntdll.dll"},
            {0x0000000077D40000ull, "kernel32.dll"}};
  }
  return {{0x00400000, nullptr}, {0x7C900000, "ntdll.dll"}, {0x7C800000, "kernel32.dll"}};
}

// The process whose module list a PSAPI call reads, or null with the error
// set. The list lies in the process's own memory: it is gone with the
// process, and out of reach of a 32-bit program looking at a 64-bit process.
ProcessObj* ModuleListOf(HANDLE hProcess) {
  if (!PsapiStillLoaded()) return nullptr;
  ProcessObj* p = ProcessWithRights(hProcess, PROCESS_QUERY_INFORMATION | PROCESS_VM_READ);
  if (!p) return nullptr;
  if (p->ended || (State().programBitness == 32 && BitnessOf(*p) == 64)) {
    SetError(ERROR_PARTIAL_COPY);
    return nullptr;
  }
  return p;
}

PROCESSENTRY32 EntryFor(const ProcessObj& p) {
  PROCESSENTRY32 e;
  std::memset(&e, 0, sizeof e);
  e.dwSize = sizeof e;
  e.cntUsage = IsWin9x() ? 1 : 0;
  e.th32ProcessID = p.id;
  e.cntThreads = 1;
  e.pcPriClassBase = 8;
  // The 9x family gives the full path of the image, the NT family its name.
  std::string name = WideToAnsi(IsWin9x() ? p.imagePath : BaseNameOf(p.imagePath));
  std::strncpy(e.szExeFile, name.c_str(), sizeof e.szExeFile - 1);
  return e;
}

BOOL ProcessEntry(HANDLE hSnapshot, LPPROCESSENTRY32 lppe, bool first) {
  KernelObject* obj = FindKernelObject(hSnapshot, KernelObject::kSnapshot);
  if (!obj) {
    SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!lppe) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (lppe->dwSize < sizeof(PROCESSENTRY32)) {
    SetError(ERROR_BAD_LENGTH);
    return FALSE;
  }
  Snapshot& snap = *obj->snapshot;
  if (first) snap.next = 0;
  if (snap.next >= snap.processes.size()) {
    SetError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  DWORD size = lppe->dwSize;
  *lppe = snap.processes[snap.next++];
  lppe->dwSize = size;
  return TRUE;
}

// ----- the run-time-only functions, with their Windows signatures -----

LPVOID WINAPI SimVirtualAllocEx(HANDLE hProcess, LPVOID lpAddress, SIZE_T dwSize,
                                DWORD flAllocationType, DWORD flProtect) {
  if (FaultHere("VirtualAllocEx")) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  ProcessObj* p = ProcessWithRights(hProcess, PROCESS_VM_OPERATION);
  if (!p) return nullptr;
  bool commit = (flAllocationType & MEM_COMMIT) != 0;
  bool reserve = (flAllocationType & MEM_RESERVE) != 0;
  if (dwSize == 0 || !(commit || reserve) ||
      (flAllocationType & ~static_cast<DWORD>(MEM_COMMIT | MEM_RESERVE | MEM_TOP_DOWN)) ||
      !ValidAllocationProtect(flProtect) || p->id == kProgramProcessId) {
    SetError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (p->ended) {
    SetError(ERROR_ACCESS_DENIED);  // the process is terminating
    return nullptr;
  }
  ULONG_PTR address = reinterpret_cast<ULONG_PTR>(lpAddress);
  if (address) {
    // Committing pages of a region reserved before; the sim commits the
    // whole region.
    SIZE_T offset = 0;
    RemoteRegion* r = commit ? RegionFor(*p, address, dwSize, &offset) : nullptr;
    if (!r) {
      SetError(ERROR_INVALID_ADDRESS);
      return nullptr;
    }
    r->committed = true;
    r->protect = flProtect;
    Current().counters.allocations++;
    return reinterpret_cast<LPVOID>(address & ~(kPageSize - 1));
  }
  // A new region. Without an address, MEM_COMMIT alone reserves as well.
  ULONG_PTR limit = p->bitness == 64 ? kAddressLimit64 : kAddressLimit32;
  if (p->nextAddress == 0) p->nextAddress = p->bitness == 64 ? kFirstAddress64 : kFirstAddress32;
  if (dwSize > kMaxBytesPerProcess - p->allocatedBytes ||
      RoundUp(dwSize, kAllocationGranularity) > limit - p->nextAddress) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  RemoteRegion r;
  r.bytes.assign(RoundUp(dwSize, kPageSize), 0);
  r.protect = flProtect;
  r.committed = commit;
  ULONG_PTR base = p->nextAddress;
  p->nextAddress += RoundUp(dwSize, kAllocationGranularity);
  p->allocatedBytes += r.bytes.size();
  p->memory[base] = std::move(r);
  Current().counters.allocations++;
  return reinterpret_cast<LPVOID>(base);
}

// A fault leaves the block where it is, as with a process that is ending.
BOOL WINAPI SimVirtualFreeEx(HANDLE hProcess, LPVOID lpAddress, SIZE_T dwSize, DWORD dwFreeType) {
  if (FaultHere("VirtualFreeEx")) {
    SetError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  ProcessObj* p = ProcessWithRights(hProcess, PROCESS_VM_OPERATION);
  if (!p) return FALSE;
  if ((dwFreeType != MEM_RELEASE && dwFreeType != MEM_DECOMMIT) ||
      (dwFreeType == MEM_RELEASE && dwSize != 0) || p->id == kProgramProcessId) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (p->ended) {
    SetError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  ULONG_PTR address = reinterpret_cast<ULONG_PTR>(lpAddress);
  auto it = p->memory.find(address);
  if (it == p->memory.end()) {
    // Not the base of a region: inside one, or nothing allocated there.
    SetError(ERROR_INVALID_ADDRESS);
    return FALSE;
  }
  SIZE_T size = it->second.bytes.size();
  if (dwFreeType == MEM_DECOMMIT) {
    // Only a whole region is decommitted in the sim.
    if (dwSize != 0 && RoundUp(dwSize, kPageSize) < size) {
      SetError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    it->second.committed = false;
    std::fill(it->second.bytes.begin(), it->second.bytes.end(), 0);
  } else {
    p->allocatedBytes -= size;
    p->memory.erase(it);
  }
  Current().counters.releases++;
  ReleasedByProgram(p->id, address, size);
  return TRUE;
}

HANDLE WINAPI SimCreateToolhelp32Snapshot(DWORD dwFlags, DWORD) {
  if (FaultHere("CreateToolhelp32Snapshot")) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return INVALID_HANDLE_VALUE;
  }
  auto snapshot = std::make_shared<Snapshot>();
  if (dwFlags & TH32CS_SNAPPROCESS) {
    for (const auto& entry : State().processes) {
      if (!entry.second.ended) snapshot->processes.push_back(EntryFor(entry.second));
    }
  }
  KernelObject obj;
  obj.kind = KernelObject::kSnapshot;
  obj.snapshot = snapshot;
  return NewKernelHandle(obj);
}

// A fault ends the list early, as it ends for a snapshot taken with fewer
// processes in it; the entry is left alone.
BOOL WINAPI SimProcess32First(HANDLE hSnapshot, LPPROCESSENTRY32 lppe) {
  if (FaultHere("Process32First")) {
    SetError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  return ProcessEntry(hSnapshot, lppe, true);
}

BOOL WINAPI SimProcess32Next(HANDLE hSnapshot, LPPROCESSENTRY32 lppe) {
  if (FaultHere("Process32Next")) {
    SetError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  return ProcessEntry(hSnapshot, lppe, false);
}

// The image's path, DOS or native; false with the error set.
bool ImagePathFor(HANDLE hProcess, DWORD dwFlags, PDWORD lpdwSize, std::u16string* path) {
  ProcessObj* p =
      ProcessWithRights(hProcess, 0, PROCESS_QUERY_INFORMATION | PROCESS_QUERY_LIMITED_INFORMATION);
  if (!p) return false;
  if (!lpdwSize || (dwFlags & ~static_cast<DWORD>(PROCESS_NAME_NATIVE))) {
    SetError(ERROR_INVALID_PARAMETER);
    return false;
  }
  if (p->ended) {
    SetError(ERROR_ACCESS_DENIED);  // the process is terminating
    return false;
  }
  *path = (dwFlags & PROCESS_NAME_NATIVE) ? NativePathOf(p->imagePath) : p->imagePath;
  return true;
}

// The size is in bytes of the code page for the A form, in UTF-16 units for
// the W form; it must leave room for the zero.
BOOL WINAPI SimQueryFullProcessImageNameA(HANDLE hProcess, DWORD dwFlags, LPSTR lpExeName,
                                          PDWORD lpdwSize) {
  if (FaultHere("QueryFullProcessImageNameA")) {
    SetError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  std::u16string wide;
  if (!ImagePathFor(hProcess, dwFlags, lpdwSize, &wide)) return FALSE;
  std::string path = WideToAnsi(wide);
  if (!lpExeName || path.size() + 1 > *lpdwSize) {
    SetError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(lpExeName, path.c_str(), path.size() + 1);
  *lpdwSize = static_cast<DWORD>(path.size());
  return TRUE;
}

BOOL WINAPI SimQueryFullProcessImageNameW(HANDLE hProcess, DWORD dwFlags, LPWSTR lpExeName,
                                          PDWORD lpdwSize) {
  if (FaultHere("QueryFullProcessImageNameW")) {
    SetError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  std::u16string path;
  if (!ImagePathFor(hProcess, dwFlags, lpdwSize, &path)) return FALSE;
  if (!lpExeName || path.size() + 1 > *lpdwSize) {
    SetError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::copy(path.begin(), path.end(), lpExeName);
  lpExeName[path.size()] = 0;
  *lpdwSize = static_cast<DWORD>(path.size());
  return TRUE;
}

BOOL WINAPI SimIsWow64Process(HANDLE hProcess, PBOOL Wow64Process) {
  if (FaultHere("IsWow64Process")) {
    SetError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  ProcessObj* p =
      ProcessWithRights(hProcess, 0, PROCESS_QUERY_INFORMATION | PROCESS_QUERY_LIMITED_INFORMATION);
  if (!p) return FALSE;
  if (!Wow64Process) {
    SetError(ERROR_NOACCESS);
    return FALSE;
  }
  *Wow64Process = (BitnessOf(*p) == 32 && SystemIs64Bit()) ? TRUE : FALSE;
  return TRUE;
}

// The redirection exists only for a 32-bit program on a 64-bit system; a
// 64-bit program, or any program on a 32-bit system, has none to switch and
// gets ERROR_INVALID_FUNCTION.
bool RedirectionToSwitch() {
  if (State().programBitness == 32 && SystemIs64Bit()) return true;
  SetError(ERROR_INVALID_FUNCTION);
  return false;
}

// No redirection is modelled; the calls are counted so that a test sees
// whether the program reverted what it disabled.
BOOL WINAPI SimWow64DisableWow64FsRedirection(PVOID* OldValue) {
  if (FaultHere("Wow64DisableWow64FsRedirection")) {
    SetError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (!RedirectionToSwitch()) return FALSE;
  if (!OldValue) {
    SetError(ERROR_NOACCESS);
    return FALSE;
  }
  World& world = Current();
  world.wow64RedirectionDisables++;
  *OldValue = reinterpret_cast<PVOID>(static_cast<ULONG_PTR>(world.wow64RedirectionDisables));
  return TRUE;
}

BOOL WINAPI SimWow64RevertWow64FsRedirection(PVOID) {
  if (FaultHere("Wow64RevertWow64FsRedirection")) {
    SetError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (!RedirectionToSwitch()) return FALSE;
  Current().wow64RedirectionReverts++;
  return TRUE;
}

BOOL WINAPI SimEnumProcessModules(HANDLE hProcess, HMODULE* lphModule, DWORD cb,
                                  LPDWORD lpcbNeeded) {
  // A call into a freed library is told apart before a fault.
  ProcessObj* p = ModuleListOf(hProcess);
  if (!p) return FALSE;
  if (FaultHere("EnumProcessModules")) {
    SetError(ERROR_PARTIAL_COPY);
    return FALSE;
  }
  std::vector<ModuleInfo> modules = ModulesOf(*p);
  size_t fit = std::min<size_t>(cb / sizeof(HMODULE), modules.size());
  if (!lpcbNeeded || (fit && !lphModule)) {
    SetError(ERROR_NOACCESS);
    return FALSE;
  }
  for (size_t i = 0; i < fit; ++i) lphModule[i] = reinterpret_cast<HMODULE>(modules[i].handle);
  *lpcbNeeded = static_cast<DWORD>(modules.size() * sizeof(HMODULE));
  return TRUE;
}

// The path of a module of the process (its main image for a null handle);
// empty with the error set when the process has no such module.
std::u16string ModulePathOf(const ProcessObj& p, HMODULE hModule) {
  std::u16string path;
  for (const ModuleInfo& m : ModulesOf(p)) {
    bool wanted = hModule ? reinterpret_cast<ULONG_PTR>(hModule) == m.handle : !m.systemName;
    if (!wanted) continue;
    path = m.systemName ? State().systemDirectory + u"\\" + AnsiToWide(m.systemName)
                        : p.imagePath;
  }
  if (path.empty()) SetError(ERROR_INVALID_HANDLE);
  return path;
}

// A path that does not fit is cut to nSize - 1 bytes (A) or units (W) and
// terminated.
DWORD WINAPI SimGetModuleFileNameExA(HANDLE hProcess, HMODULE hModule, LPSTR lpFilename,
                                     DWORD nSize) {
  ProcessObj* p = ModuleListOf(hProcess);
  if (!p) return 0;
  if (FaultHere("GetModuleFileNameExA")) {
    SetError(ERROR_PARTIAL_COPY);
    return 0;
  }
  std::u16string wide = ModulePathOf(*p, hModule);
  if (wide.empty()) return 0;
  if (nSize == 0 || !lpFilename) {
    SetError(nSize ? ERROR_NOACCESS : ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::string path = WideToAnsi(wide);
  size_t n = std::min<size_t>(path.size(), nSize - 1);
  std::memcpy(lpFilename, path.data(), n);
  lpFilename[n] = 0;
  return static_cast<DWORD>(n);
}

DWORD WINAPI SimGetModuleFileNameExW(HANDLE hProcess, HMODULE hModule, LPWSTR lpFilename,
                                     DWORD nSize) {
  ProcessObj* p = ModuleListOf(hProcess);
  if (!p) return 0;
  if (FaultHere("GetModuleFileNameExW")) {
    SetError(ERROR_PARTIAL_COPY);
    return 0;
  }
  std::u16string path = ModulePathOf(*p, hModule);
  if (path.empty()) return 0;
  if (nSize == 0 || !lpFilename) {
    SetError(nSize ? ERROR_NOACCESS : ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  size_t n = std::min<size_t>(path.size(), nSize - 1);
  std::copy(path.begin(), path.begin() + static_cast<std::ptrdiff_t>(n), lpFilename);
  lpFilename[n] = 0;
  return static_cast<DWORD>(n);
}

struct RunTimeExport {
  const char* module;
  const char* name;
  FARPROC proc;
};

BOOL WINAPI SimIsDebuggerPresent(void) { return State().debuggerAttached ? TRUE : FALSE; }

const RunTimeExport kRunTimeExports[] = {
    {"kernel32.dll", "IsDebuggerPresent", AsFarProc(&SimIsDebuggerPresent)},
    {"kernel32.dll", "VirtualAllocEx", AsFarProc(&SimVirtualAllocEx)},
    {"kernel32.dll", "VirtualFreeEx", AsFarProc(&SimVirtualFreeEx)},
    {"kernel32.dll", "CreateToolhelp32Snapshot", AsFarProc(&SimCreateToolhelp32Snapshot)},
    {"kernel32.dll", "Process32First", AsFarProc(&SimProcess32First)},
    {"kernel32.dll", "Process32Next", AsFarProc(&SimProcess32Next)},
    {"kernel32.dll", "QueryFullProcessImageNameA", AsFarProc(&SimQueryFullProcessImageNameA)},
    {"kernel32.dll", "QueryFullProcessImageNameW", AsFarProc(&SimQueryFullProcessImageNameW)},
    {"kernel32.dll", "IsWow64Process", AsFarProc(&SimIsWow64Process)},
    {"kernel32.dll", "Wow64DisableWow64FsRedirection",
     AsFarProc(&SimWow64DisableWow64FsRedirection)},
    {"kernel32.dll", "Wow64RevertWow64FsRedirection", AsFarProc(&SimWow64RevertWow64FsRedirection)},
    {"psapi.dll", "EnumProcessModules", AsFarProc(&SimEnumProcessModules)},
    {"psapi.dll", "GetModuleFileNameExA", AsFarProc(&SimGetModuleFileNameExA)},
    {"psapi.dll", "GetModuleFileNameExW", AsFarProc(&SimGetModuleFileNameExW)},
};

// The smallest file Windows would recognise as an image of that bitness: DOS
// header, "PE\0\0", the file header with its machine, and the magic of the
// optional header.
std::string MinimalImage(int bitness) {
  bool is64 = bitness == 64;
  const size_t fileHeader = 0x84;
  const size_t optionalHeaderSize = is64 ? 0xF0 : 0xE0;
  std::string image(fileHeader + 20 + optionalHeaderSize, '\0');
  auto put16 = [&image](size_t at, unsigned v) {
    image[at] = static_cast<char>(v & 0xFF);
    image[at + 1] = static_cast<char>(v >> 8);
  };
  put16(0, IMAGE_DOS_SIGNATURE);
  put16(0x3C, 0x80);  // e_lfanew
  std::memcpy(&image[0x80], "PE\0\0", 4);
  put16(fileHeader, is64 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386);
  put16(fileHeader + 16, static_cast<unsigned>(optionalHeaderSize));
  // Characteristics: an executable image; 32-bit machine, or large-address aware.
  put16(fileHeader + 18, is64 ? 0x0022 : 0x0102);
  put16(fileHeader + 20, is64 ? 0x020B : 0x010B);  // PE32+ or PE32
  return image;
}

}  // namespace

unsigned char* RemoteRange(ProcessObj& p, ULONG_PTR address, SIZE_T size, RemoteAccess access) {
  if (!MemoryModelled(p)) return nullptr;
  SIZE_T offset = 0;
  RemoteRegion* r = RegionFor(p, address, size, &offset);
  if (!r || !r->committed || !Allows(r->protect, access)) return nullptr;
  return r->bytes.data() + offset;
}

void NoteLateWrite(DWORD processId, LPARAM lParam) {
  ULONG_PTR address = static_cast<ULONG_PTR>(lParam);
  ProcessObj* p = FindProcess(processId);
  SIZE_T offset = 0;
  if (p && MemoryModelled(*p) && RegionFor(*p, address, 1, &offset)) {
    State().pendingLateWrites.push_back(PendingLateWrite{processId, address});
  } else if (IsWin9x() && ViewRange(address, 1, false)) {
    State().pendingLateWrites.push_back(PendingLateWrite{0, address});
  }
}

void ForgetLateWrite(DWORD processId, LPARAM lParam) {
  auto& pending = State().pendingLateWrites;
  ULONG_PTR address = static_cast<ULONG_PTR>(lParam);
  for (auto it = pending.begin(); it != pending.end(); ++it) {
    if (it->processId == processId && it->address == address) {
      pending.erase(it);
      return;
    }
  }
}

void ReleasedByProgram(DWORD processId, ULONG_PTR base, SIZE_T size) {
  auto& pending = State().pendingLateWrites;
  auto inBlock = [=](const PendingLateWrite& w) {
    return w.processId == processId && w.address >= base && w.address - base < size;
  };
  auto end = std::remove_if(pending.begin(), pending.end(), inBlock);
  if (end == pending.end()) return;
  pending.erase(end, pending.end());
  Current().lateWritesIntoReleasedMemory++;
}

ProcessObj& ProcessForSetUp(DWORD processId, const char* caller) {
  ProcessObj* p = FindProcess(processId);
  if (!p || processId == kProgramProcessId) {
    std::fprintf(stderr, "sim: %s: %lu is no process added with AddProcess\n", caller,
                 static_cast<unsigned long>(processId));
    std::abort();
  }
  return *p;
}

FARPROC RunTimeFunction(const std::string& module, const std::string& name) {
  for (const RunTimeExport& e : kRunTimeExports) {
    if (module == e.module && name == e.name) return e.proc;
  }
  return nullptr;
}

bool SystemIs64Bit() {
  const World::Impl& s = State();
  if (IsWin9x()) return false;
  if (s.programBitness == 64) return true;
  for (const auto& p : s.processes) {
    if (p.second.bitness == 64) return true;
  }
  return false;
}

// --- the world's other processes ---

DWORD World::AddProcess(const Text& imagePathText, int bitness) {
  if (bitness != 32 && bitness != 64) {
    std::fprintf(stderr, "sim: AddProcess: bitness %d is neither 32 nor 64\n", bitness);
    std::abort();
  }
  std::u16string imagePath = imagePathText.Wide();
  ProcessObj p;
  p.id = impl_->nextProcessId;
  impl_->nextProcessId += 4;
  p.imagePath = imagePath;
  p.bitness = bitness;
  impl_->processes[p.id] = p;
  // The image file, with its folders, when its drive exists and nothing is
  // there yet; a path the file system cannot hold is left alone.
  bool absolute = imagePath.size() > 3 && imagePath[1] == u':' && imagePath[2] == u'\\' &&
                  imagePath[0] < 0x80;
  char drive = absolute ? static_cast<char>(std::toupper(static_cast<unsigned char>(imagePath[0])))
                        : '\0';
  if (absolute && impl_->drives.count(drive) && !ResolvePath(imagePath, false).node) {
    size_t slash = imagePath.find_last_of(u'\\');
    MakeDirectories(imagePath.substr(0, slash + 1));
    Resolved r = ResolvePath(imagePath, false);
    if (!r.error && !r.node && r.parent && !r.leaf.empty() && !r.trailingSeparator) {
      AddChildNode(r.parent, r.leaf, false)->bytes = MinimalImage(bitness);
    }
  }
  return p.id;
}

void World::RefuseOpenProcess(DWORD processId, DWORD refusedRights) {
  ProcessForSetUp(processId, "RefuseOpenProcess").refusedRights = refusedRights;
}

void World::EndProcess(DWORD processId) {
  ProcessObj& p = ProcessForSetUp(processId, "EndProcess");
  if (p.ended) return;
  // Destroying a window destroys its children too, whatever process they
  // belong to.
  std::vector<HWND> windows;
  for (const auto& w : impl_->windows) {
    if (!w.second.rec.destroyed && w.second.rec.processId == processId) {
      windows.push_back(w.second.rec.hwnd);
    }
  }
  for (HWND h : windows) RemoveWindow(h);
  p.memory.clear();
  p.allocatedBytes = 0;
  p.notifies.clear();
  p.ended = true;
  p.hung = false;
  auto& pending = impl_->pendingLateWrites;
  pending.erase(std::remove_if(pending.begin(), pending.end(),
                               [=](const PendingLateWrite& w) { return w.processId == processId; }),
                pending.end());
}

void World::SetProgramBitness(int bitness) {
  if (bitness != 32 && bitness != 64) {
    std::fprintf(stderr, "sim: SetProgramBitness: %d is neither 32 nor 64\n", bitness);
    std::abort();
  }
  impl_->programBitness = bitness;
}

int World::RemoteBlocks(DWORD processId) const {
  auto it = impl_->processes.find(processId);
  return it == impl_->processes.end() ? 0 : static_cast<int>(it->second.memory.size());
}

std::string World::RemoteBytes(DWORD processId, ULONG_PTR address, size_t size) const {
  ProcessObj* p = FindProcess(processId);
  SIZE_T offset = 0;
  RemoteRegion* r = p ? RegionFor(*p, address, size, &offset) : nullptr;
  if (!r) return std::string();
  return std::string(reinterpret_cast<const char*>(r->bytes.data() + offset), size);
}

}  // namespace sim

using namespace sim;

// A fault refuses the access, as for a process of another account.
HANDLE OpenProcess(DWORD dwDesiredAccess, BOOL, DWORD dwProcessId) {
  World::Impl& s = State();
  if (FaultHere("OpenProcess")) {
    SetError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  ProcessObj* p = FindProcess(dwProcessId);
  if (!p || p->ended) {
    SetError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  bool unknownRights = s.osPlatform == VER_PLATFORM_WIN32_NT && s.osMajor < 6 &&
                       (dwDesiredAccess & kVistaProcessRights);
  if (unknownRights || (dwDesiredAccess & p->refusedRights)) {
    SetError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  KernelObject obj;
  obj.kind = KernelObject::kProcess;
  obj.processId = dwProcessId;
  obj.access = GrantedRights(dwDesiredAccess);
  return NewKernelHandle(obj);
}

BOOL ReadProcessMemory(HANDLE hProcess, LPCVOID lpBaseAddress, LPVOID lpBuffer, SIZE_T nSize,
                       SIZE_T* lpNumberOfBytesRead) {
  Current().counters.reads++;
  if (lpNumberOfBytesRead) *lpNumberOfBytesRead = 0;
  if (FaultHere("ReadProcessMemory")) {
    SetError(ERROR_PARTIAL_COPY);
    return FALSE;
  }
  ProcessObj* p = ProcessWithRights(hProcess, PROCESS_VM_READ);
  if (!p) return FALSE;
  if (nSize == 0) return TRUE;
  if (!lpBuffer) {
    SetError(ERROR_NOACCESS);
    return FALSE;
  }
  const unsigned char* source =
      RemoteRange(*p, reinterpret_cast<ULONG_PTR>(lpBaseAddress), nSize, RemoteAccess::kRead);
  if (!source) {
    SetError(ERROR_PARTIAL_COPY);
    return FALSE;
  }
  std::memcpy(lpBuffer, source, nSize);
  if (lpNumberOfBytesRead) *lpNumberOfBytesRead = nSize;
  return TRUE;
}

BOOL WriteProcessMemory(HANDLE hProcess, LPVOID lpBaseAddress, LPCVOID lpBuffer, SIZE_T nSize,
                        SIZE_T* lpNumberOfBytesWritten) {
  Current().counters.writes++;
  if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = 0;
  if (FaultHere("WriteProcessMemory")) {
    SetError(ERROR_PARTIAL_COPY);
    return FALSE;
  }
  ProcessObj* p = ProcessWithRights(hProcess, PROCESS_VM_WRITE | PROCESS_VM_OPERATION);
  if (!p) return FALSE;
  if (nSize == 0) return TRUE;
  if (!lpBuffer) {
    SetError(ERROR_NOACCESS);
    return FALSE;
  }
  ULONG_PTR address = reinterpret_cast<ULONG_PTR>(lpBaseAddress);
  SIZE_T offset = 0;
  RemoteRegion* r = MemoryModelled(*p) ? RegionFor(*p, address, nSize, &offset) : nullptr;
  if (!r || !r->committed) {
    SetError(ERROR_PARTIAL_COPY);
    return FALSE;
  }
  if (!Allows(r->protect, RemoteAccess::kWriteFromOutside)) {
    SetError(ERROR_NOACCESS);
    return FALSE;
  }
  std::memcpy(r->bytes.data() + offset, lpBuffer, nSize);
  if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = nSize;
  return TRUE;
}
