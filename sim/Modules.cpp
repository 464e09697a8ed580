// Libraries loaded at run time and the functions found in them by name.
//
// The system modules (kernel32, user32, ...) are loaded in every process;
// LoadLibraryA gives their handle and counts the load. PSAPI.DLL, OLE32.DLL
// and COMCTL32.DLL are loaded only on request; PSAPI exists on the NT family
// only. COMCTL32.DLL registers the list view's class while it is loaded. What a library exports
// follows the Windows version, decided at each call because a test may
// change the version after building the world; the test can also add or
// remove single exports and whole libraries.
#include <cstdio>
#include <cstdlib>

#include "SimInternal.h"

namespace sim {

namespace {

const char kPsapi[] = "psapi.dll";
constexpr uintptr_t kPsapiHandle = 0x76BB0000;
// OLE32.DLL exists on every version; a program loads it on request.
const char kOle32[] = "ole32.dll";
constexpr uintptr_t kOle32Handle = 0x774E0000;
const char kComctl32[] = "comctl32.dll";
constexpr uintptr_t kComctl32Handle = 0x773D0000;

// The libraries loaded on request, and their handles.
struct OnRequestLibrary {
  const char* key;
  uintptr_t handle;
};
const OnRequestLibrary kOnRequest[] = {
    {kPsapi, kPsapiHandle}, {kOle32, kOle32Handle}, {kComctl32, kComctl32Handle}};

const char* const kSystemLibraries[] = {"kernel32.dll", "user32.dll",  "gdi32.dll",
                                        "shlwapi.dll",  "shell32.dll", "ntdll.dll"};

// Functions the sim declares in sim_win32.h that a program may also look up
// by name; they exist on every version.
struct StaticExport {
  const char* module;
  const char* name;
  FARPROC proc;
};

const StaticExport kStaticExports[] = {
    {"kernel32.dll", "OpenProcess", AsFarProc(&::OpenProcess)},
    {"kernel32.dll", "ReadProcessMemory", AsFarProc(&::ReadProcessMemory)},
    {"kernel32.dll", "WriteProcessMemory", AsFarProc(&::WriteProcessMemory)},
    {"kernel32.dll", "CloseHandle", AsFarProc(&::CloseHandle)},
    {"kernel32.dll", "LoadLibraryA", AsFarProc(&::LoadLibraryA)},
    {"kernel32.dll", "LoadLibraryW", AsFarProc(&::LoadLibraryW)},
    {"kernel32.dll", "FreeLibrary", AsFarProc(&::FreeLibrary)},
    {"kernel32.dll", "GetProcAddress", AsFarProc(&::GetProcAddress)},
    {"kernel32.dll", "GetModuleHandleA", AsFarProc(&::GetModuleHandleA)},
    {"kernel32.dll", "GetModuleHandleW", AsFarProc(&::GetModuleHandleW)},
    {"kernel32.dll", "GetVersionExA", AsFarProc(&::GetVersionExA)},
    {"kernel32.dll", "CreateFileMappingA", AsFarProc(&::CreateFileMappingA)},
    {"kernel32.dll", "MapViewOfFile", AsFarProc(&::MapViewOfFile)},
    {"kernel32.dll", "UnmapViewOfFile", AsFarProc(&::UnmapViewOfFile)},
    {"user32.dll", "SendMessageA", AsFarProc(&::SendMessageA)},
    {"user32.dll", "SendMessageW", AsFarProc(&::SendMessageW)},
    {"user32.dll", "SendMessageTimeoutA", AsFarProc(&::SendMessageTimeoutA)},
    {"user32.dll", "SendMessageTimeoutW", AsFarProc(&::SendMessageTimeoutW)},
    {"shell32.dll", "SHGetSpecialFolderPathA", AsFarProc(&::SHGetSpecialFolderPathA)},
    {"shell32.dll", "SHGetSpecialFolderPathW", AsFarProc(&::SHGetSpecialFolderPathW)},
    {"shell32.dll", "ShellExecuteA", AsFarProc(&::ShellExecuteA)},
    {"shell32.dll", "ShellExecuteW", AsFarProc(&::ShellExecuteW)},
    {"user32.dll", "wvsprintfW", AsFarProc(&::wvsprintfW)},
};

// The name a module is known by: its file name folded, without a directory.
// As LoadLibraryA does, ".dll" is added to a name without extension, and a
// trailing dot stands for "no extension".
std::string ModuleKey(const std::string& name) {
  size_t slash = name.find_last_of("\\/");
  std::string key = FoldName(slash == std::string::npos ? name : name.substr(slash + 1));
  if (!key.empty() && key.back() == '.') {
    key.pop_back();
  } else if (key.find('.') == std::string::npos) {
    key += ".dll";
  }
  return key;
}

bool IsSystemLibrary(const std::string& key) {
  for (const char* name : kSystemLibraries) {
    if (key == name) return true;
  }
  return false;
}

// Module names are ASCII; a character the code page lacks becomes '?' and
// matches no module.
std::string ProgramKey() {
  const std::u16string& path = State().modulePath;
  size_t slash = path.find_last_of(u"\\/");
  return FoldName(WideToAnsi(slash == std::u16string::npos ? path : path.substr(slash + 1), false));
}

bool LibraryPresent(const std::string& key) {
  const auto& present = State().libraryPresent;
  auto it = present.find(key);
  if (it != present.end()) return it->second;
  if (key == kPsapi) return !IsWin9x();
  if (key == kOle32 || key == kComctl32) return true;
  return IsSystemLibrary(key) || key == ProgramKey();
}

FARPROC FindFunction(const std::string& module, const std::string& name) {
  if (FARPROC proc = RunTimeFunction(module, name)) return proc;
  if (FARPROC proc = ComFunction(module, name)) return proc;
  for (const StaticExport& e : kStaticExports) {
    if (module == e.module && name == e.name) return e.proc;
  }
  return nullptr;
}

bool NtAtLeast(DWORD major, DWORD minor) {
  const World::Impl& s = State();
  return !IsWin9x() && (s.osMajor > major || (s.osMajor == major && s.osMinor >= minor));
}

// What the module of this Windows version exports, of what the sim has.
bool ExportedByDefault(const std::string& module, const std::string& name) {
  if (module == "kernel32.dll") {
    if (name == "VirtualAllocEx" || name == "VirtualFreeEx") return !IsWin9x();
    if (name == "CreateToolhelp32Snapshot" || name == "Process32First" || name == "Process32Next") {
      return IsWin9x() || NtAtLeast(5, 0);  // NT 4.0 has no Tool Help
    }
    if (name == "QueryFullProcessImageNameA" || name == "QueryFullProcessImageNameW") {
      return NtAtLeast(6, 0);
    }
    if (name == "IsDebuggerPresent") {
      return !IsWin9x() || State().osMinor > 0;  // Windows 95 has none
    }
    if (name == "IsWow64Process" || name == "Wow64DisableWow64FsRedirection" ||
        name == "Wow64RevertWow64FsRedirection") {
      return NtAtLeast(5, 1);
    }
  }
  return FindFunction(module, name) != nullptr;
}

// The module a handle names, while it is loaded.
bool ModuleOfHandle(HMODULE h, std::string* key) {
  World::Impl& s = State();
  if (!h || h == SIM_PROGRAM_INSTANCE) {
    *key = ProgramKey();
    return true;
  }
  for (const OnRequestLibrary& l : kOnRequest) {
    if (reinterpret_cast<uintptr_t>(h) == l.handle) {
      *key = l.key;
      return s.libraryLoads[l.key] > 0;
    }
  }
  for (const char* name : kSystemLibraries) {
    if (GetModuleHandleA(name) == h) {
      *key = name;
      return true;
    }
  }
  return false;
}

}  // namespace

HMODULE LoadedLibraryHandle(const std::string& key) {
  World::Impl& s = State();
  for (const OnRequestLibrary& l : kOnRequest) {
    if (key == l.key) {
      auto it = s.libraryLoads.find(key);
      return it != s.libraryLoads.end() && it->second > 0 ? reinterpret_cast<HMODULE>(l.handle)
                                                          : nullptr;
    }
  }
  return nullptr;
}

bool PsapiStillLoaded() {
  if (State().libraryLoads[kPsapi] > 0) return true;
  Current().callsIntoFreedLibraries++;
  SetError(ERROR_MOD_NOT_FOUND);
  return false;
}

void World::RemoveExport(const std::string& module, const std::string& function) {
  impl_->exportPresent[{ModuleKey(module), function}] = false;
}

// The library comes with it (so PSAPI can be given to Windows 98).
void World::AddExport(const std::string& module, const std::string& function) {
  std::string key = ModuleKey(module);
  if (!FindFunction(key, function)) {
    std::fprintf(stderr, "sim: AddExport: the sim has no function %s in %s\n", function.c_str(),
                 key.c_str());
    std::abort();
  }
  impl_->exportPresent[{key, function}] = true;
  impl_->libraryPresent[key] = true;
}

void World::RemoveLibrary(const std::string& module) {
  impl_->libraryPresent[ModuleKey(module)] = false;
}

int World::LoadedLibraries() const {
  int n = 0;
  for (const auto& l : impl_->libraryLoads) n += l.second;
  return n;
}

}  // namespace sim

using namespace sim;

namespace sim {

namespace {

HMODULE LoadLibraryNamed(const std::string& name) {
  World::Impl& s = State();
  std::string key = ModuleKey(name);
  HMODULE h = nullptr;
  if (LibraryPresent(key)) {
    for (const OnRequestLibrary& l : kOnRequest) {
      if (key == l.key) h = reinterpret_cast<HMODULE>(l.handle);
    }
    if (key == ProgramKey()) {
      h = SIM_PROGRAM_INSTANCE;
    } else if (IsSystemLibrary(key)) {
      h = GetModuleHandleA(key.c_str());
    }
  }
  if (!h) {
    SetError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  s.libraryLoads[key]++;
  return h;
}

}  // namespace

}  // namespace sim

// A fault fails the load as a library whose start-up failed does; nothing
// stays loaded.
HMODULE LoadLibraryA(LPCSTR lpLibFileName) {
  if (FaultHere("LoadLibraryA")) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (!lpLibFileName) {
    SetError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return LoadLibraryNamed(lpLibFileName);
}

// Module names are ASCII; a character the code page lacks matches none.
HMODULE LoadLibraryW(LPCWSTR lpLibFileName) {
  sim::NoteWideCall("LoadLibraryW");
  if (FaultHere("LoadLibraryW")) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (!lpLibFileName) {
    SetError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return LoadLibraryNamed(WideToAnsi(lpLibFileName, false));
}

// A library that no load holds any more: PSAPI is unloaded by then (its
// handle names nothing); the modules every process has stay.
BOOL FreeLibrary(HMODULE hLibModule) {
  World::Impl& s = State();
  std::string key;
  bool loaded = hLibModule && ModuleOfHandle(hLibModule, &key);
  if (!loaded || s.libraryLoads[key] == 0) Current().unmatchedFreeLibraryCalls++;
  if (!loaded) {
    SetError(ERROR_MOD_NOT_FOUND);
    return FALSE;
  }
  if (s.libraryLoads[key] > 0) s.libraryLoads[key]--;
  return TRUE;
}

// Names are compared with their case; ordinals are not modelled.
FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  World::Impl& s = State();
  if (FaultHere("GetProcAddress")) {
    SetError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  std::string module;
  if (!ModuleOfHandle(hModule, &module)) {
    SetError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  if (!lpProcName || IS_INTRESOURCE(lpProcName)) {
    SetError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  std::string name = lpProcName;
  auto it = s.exportPresent.find({module, name});
  bool exported = it != s.exportPresent.end() ? it->second : ExportedByDefault(module, name);
  FARPROC proc = exported ? FindFunction(module, name) : nullptr;
  if (!proc) SetError(ERROR_PROC_NOT_FOUND);
  return proc;
}
