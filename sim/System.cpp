// The program's own process: its module, version, current directory, last
// error, command line, clock and debug output.
//
// The process keeps its texts in UTF-16. The A functions hand them out in the
// ANSI code page with best-fit, as the system converts them, and count their
// results in bytes of that text; the W functions count characters.
#include <cstdio>
#include <cstring>

#include "SimInternal.h"

namespace sim {

namespace {

struct SystemModule {
  const char* name;  // lower case, with extension
  uintptr_t handle;
};

// Modules every process has loaded.
const SystemModule kSystemModules[] = {
    {"kernel32.dll", 0x7C800000}, {"user32.dll", 0x7E410000},  {"gdi32.dll", 0x77F10000},
    {"shlwapi.dll", 0x77F60000},  {"shell32.dll", 0x7C9C0000}, {"ntdll.dll", 0x7C900000},
};

std::u16string BaseNameOf(const std::u16string& path) {
  size_t slash = path.find_last_of(u"\\/");
  return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

// Writes a text with the length rule of the directory functions: the length
// without the terminating zero when it fits, else the size needed with it.
template <typename Char>
DWORD CopyDirectoryText(const std::basic_string<Char>& text, DWORD size, Char* buffer) {
  if (!buffer || text.size() + 1 > size) return static_cast<DWORD>(text.size() + 1);
  std::memcpy(buffer, text.c_str(), (text.size() + 1) * sizeof(Char));
  return static_cast<DWORD>(text.size());
}

HMODULE ModuleHandleOf(const std::u16string& moduleName) {
  World::Impl& s = State();
  std::u16string name = FoldWide(moduleName);
  if (name.find(u'.') == std::u16string::npos) name += u".dll";
  if (name == FoldWide(BaseNameOf(s.modulePath))) return SIM_PROGRAM_INSTANCE;
  for (const SystemModule& m : kSystemModules) {
    if (name == AnsiToWide(m.name)) return reinterpret_cast<HMODULE>(m.handle);
  }
  // Libraries are known by their names in the code page; '?' for a
  // character it lacks names none of them.
  if (HMODULE loaded = LoadedLibraryHandle(WideToAnsi(name, false))) return loaded;
  SetError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

// The file of a module of the process, or false with ERROR_MOD_NOT_FOUND.
bool ModulePathOf(HMODULE module, std::u16string* path) {
  World::Impl& s = State();
  if (!module || module == SIM_PROGRAM_INSTANCE) {
    *path = s.modulePath;
    return true;
  }
  for (const SystemModule& m : kSystemModules) {
    if (reinterpret_cast<uintptr_t>(module) == m.handle) {
      *path = s.systemDirectory + u"\\" + AnsiToWide(m.name);
      return true;
    }
  }
  SetError(ERROR_MOD_NOT_FOUND);
  return false;
}

// GetModuleFileNameA and W once the path is known: Windows XP and earlier cut
// a path that does not fit to nSize characters without a terminating zero;
// later versions keep the zero and report ERROR_INSUFFICIENT_BUFFER (also for
// a buffer of no size). Both return nSize. A path that fits clears the last
// error.
template <typename Char>
DWORD CopyModulePath(const std::basic_string<Char>& path, Char* buffer, DWORD nSize) {
  World::Impl& s = State();
  if (!buffer || nSize == 0) {
    if (s.osMajor >= 6) SetError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (path.size() < nSize) {
    std::memcpy(buffer, path.c_str(), (path.size() + 1) * sizeof(Char));
    SetError(ERROR_SUCCESS);
    return static_cast<DWORD>(path.size());
  }
  if (s.osMajor >= 6) {
    std::memcpy(buffer, path.c_str(), (nSize - 1) * sizeof(Char));
    buffer[nSize - 1] = 0;
    SetError(ERROR_INSUFFICIENT_BUFFER);
  } else {
    std::memcpy(buffer, path.c_str(), nSize * sizeof(Char));
    SetError(ERROR_SUCCESS);
  }
  return nSize;
}

BOOL SetCurrentDirectoryNamed(const std::u16string& name, bool ansiLimit) {
  World::Impl& s = State();
  if (name.empty()) {
    SetError(ERROR_INVALID_NAME);
    return FALSE;
  }
  Resolved r = ResolvePath(name, ansiLimit);
  if (r.error) {
    SetError(r.error);
    return FALSE;
  }
  if (!r.node) {
    SetError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  if (!r.node->isDir) {
    SetError(267);  // ERROR_DIRECTORY
    return FALSE;
  }
  std::u16string dir = r.full;
  if (dir.size() > 3 && dir.back() == u'\\') dir.pop_back();
  s.currentDirectory = dir;
  char16_t drive = dir[0];
  if (drive >= u'a' && drive <= u'z') drive = static_cast<char16_t>(drive - 0x20);
  s.driveDirectories[static_cast<char>(drive)] = dir;
  return TRUE;
}

// One trace line per call; a line break at its end is not kept.
template <typename Char>
std::basic_string<Char> TraceLine(const Char* text) {
  std::basic_string<Char> line = text;
  if (!line.empty() && line.back() == '\n') line.pop_back();
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace

bool IsWin9x() { return State().osPlatform == VER_PLATFORM_WIN32_WINDOWS; }

}  // namespace sim

using namespace sim;

HMODULE GetModuleHandleA(LPCSTR lpModuleName) {
  if (!lpModuleName) return SIM_PROGRAM_INSTANCE;
  return ModuleHandleOf(AnsiName(lpModuleName));
}

HMODULE GetModuleHandleW(LPCWSTR lpModuleName) {
  sim::NoteWideCall("GetModuleHandleW");
  if (!lpModuleName) return SIM_PROGRAM_INSTANCE;
  return ModuleHandleOf(lpModuleName);
}

// The A form cuts the path converted to the code page at nSize bytes, the W
// form at nSize characters (see CopyModulePath). A fault gives 0 and leaves
// the buffer alone.
DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
  if (FaultHere("GetModuleFileNameA")) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  std::u16string path;
  if (!ModulePathOf(hModule, &path)) return 0;
  return CopyModulePath(WideToAnsi(path), lpFilename, nSize);
}

DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
  sim::NoteWideCall("GetModuleFileNameW");
  if (FaultHere("GetModuleFileNameW")) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  std::u16string path;
  if (!ModulePathOf(hModule, &path)) return 0;
  return CopyModulePath(path, lpFilename, nSize);
}

BOOL GetVersionExA(LPOSVERSIONINFOA lpVersionInformation) {
  World::Impl& s = State();
  if (!lpVersionInformation) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DWORD size = lpVersionInformation->dwOSVersionInfoSize;
  bool extended = size == sizeof(OSVERSIONINFOEXA);
  // The extended record came with NT 4.0 SP6; the Windows 9x family refuses it.
  if (size != sizeof(OSVERSIONINFOA) &&
      !(extended && s.osPlatform == VER_PLATFORM_WIN32_NT)) {
    SetError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  lpVersionInformation->dwMajorVersion = s.osMajor;
  lpVersionInformation->dwMinorVersion = s.osMinor;
  lpVersionInformation->dwPlatformId = s.osPlatform;
  // The 9x family puts the version into the high word of the build number.
  lpVersionInformation->dwBuildNumber =
      s.osPlatform == VER_PLATFORM_WIN32_WINDOWS
          ? ((s.osMajor << 24) | (s.osMinor << 16) | (s.osBuild & 0xFFFF))
          : s.osBuild;
  std::memset(lpVersionInformation->szCSDVersion, 0, sizeof(lpVersionInformation->szCSDVersion));
  std::strncpy(lpVersionInformation->szCSDVersion, s.csdVersion.c_str(),
               sizeof(lpVersionInformation->szCSDVersion) - 1);
  if (extended) {
    auto* ex = reinterpret_cast<LPOSVERSIONINFOEXA>(lpVersionInformation);
    unsigned sp = 0;
    std::sscanf(s.csdVersion.c_str(), "Service Pack %u", &sp);
    ex->wServicePackMajor = static_cast<WORD>(sp);
    ex->wServicePackMinor = 0;
    ex->wSuiteMask = 0;
    ex->wProductType = 1;  // VER_NT_WORKSTATION
    ex->wReserved = 0;
  }
  return TRUE;
}

DWORD GetVersion(void) {
  World::Impl& s = State();
  DWORD v = (s.osMajor & 0xFF) | ((s.osMinor & 0xFF) << 8);
  if (s.osPlatform == VER_PLATFORM_WIN32_NT) return v | ((s.osBuild & 0x7FFF) << 16);
  return v | 0x80000000u;
}

DWORD GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
  return CopyDirectoryText(WideToAnsi(State().currentDirectory), nBufferLength, lpBuffer);
}

DWORD GetCurrentDirectoryW(DWORD nBufferLength, LPWSTR lpBuffer) {
  sim::NoteWideCall("GetCurrentDirectoryW");
  return CopyDirectoryText(State().currentDirectory, nBufferLength, lpBuffer);
}

BOOL SetCurrentDirectoryA(LPCSTR lpPathName) {
  if (!lpPathName) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return SetCurrentDirectoryNamed(AnsiName(lpPathName), true);
}

BOOL SetCurrentDirectoryW(LPCWSTR lpPathName) {
  sim::NoteWideCall("SetCurrentDirectoryW");
  if (!lpPathName) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return SetCurrentDirectoryNamed(lpPathName, false);
}

UINT GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) {
  return CopyDirectoryText(WideToAnsi(State().windowsDirectory), uSize, lpBuffer);
}

UINT GetWindowsDirectoryW(LPWSTR lpBuffer, UINT uSize) {
  sim::NoteWideCall("GetWindowsDirectoryW");
  return CopyDirectoryText(State().windowsDirectory, uSize, lpBuffer);
}

UINT GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize) {
  return CopyDirectoryText(WideToAnsi(State().systemDirectory), uSize, lpBuffer);
}

UINT GetSystemDirectoryW(LPWSTR lpBuffer, UINT uSize) {
  sim::NoteWideCall("GetSystemDirectoryW");
  return CopyDirectoryText(State().systemDirectory, uSize, lpBuffer);
}

DWORD GetLastError(void) { return State().lastError; }

void SetLastError(DWORD dwErrCode) { State().lastError = dwErrCode; }

// The trace keeps each line twice: in the code page, and in UTF-16.
void OutputDebugStringA(LPCSTR lpOutputString) {
  if (!lpOutputString) return;
  std::string line = TraceLine(lpOutputString);
  Current().trace.push_back(line);
  Current().traceWide.push_back(AnsiName(line.c_str()));
}

// A character the code page lacks is '?' in the code-page line, never a look-alike.
void OutputDebugStringW(LPCWSTR lpOutputString) {
  sim::NoteWideCall("OutputDebugStringW");
  if (!lpOutputString) return;
  std::u16string line = TraceLine(lpOutputString);
  Current().trace.push_back(WideToAnsi(line, false));
  Current().traceWide.push_back(line);
}

DWORD GetTickCount(void) { return State().tickCount; }

void Sleep(DWORD dwMilliseconds) { State().tickCount += dwMilliseconds; }

LPSTR GetCommandLineA(void) {
  World::Impl& s = State();
  std::string line = WideToAnsi(s.commandLine);
  s.commandLineBuffer.assign(line.begin(), line.end());
  s.commandLineBuffer.push_back('\0');
  return s.commandLineBuffer.data();
}

LPWSTR GetCommandLineW(void) {
  sim::NoteWideCall("GetCommandLineW");
  World::Impl& s = State();
  s.commandLineWideBuffer.assign(s.commandLine.begin(), s.commandLine.end());
  s.commandLineWideBuffer.push_back(u'\0');
  return s.commandLineWideBuffer.data();
}

DWORD GetCurrentProcessId(void) { return kProgramProcessId; }

DWORD GetCurrentThreadId(void) { return kProgramThreadId; }

HANDLE GetCurrentProcess(void) { return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)); }

UINT GetACP(void) { return State().codePage; }

// Only the event a debug viewer creates is modelled: it exists while the world
// says a viewer listens.
namespace {
HANDLE OpenNamedEvent(const std::u16string& name, const char* function) {
  if (FaultHere(function)) {
    SetError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  if (!State().debugViewerListening || name != u"DBWIN_BUFFER_READY") {
    SetError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  KernelObject obj;
  obj.kind = KernelObject::kEvent;
  return NewKernelHandle(obj);
}
}  // namespace

HANDLE OpenEventA(DWORD, BOOL, LPCSTR lpName) {
  return OpenNamedEvent(lpName ? AnsiText(lpName) : u"", "OpenEventA");
}

HANDLE OpenEventW(DWORD, BOOL, LPCWSTR lpName) {
  sim::NoteWideCall("OpenEventW");
  return OpenNamedEvent(lpName ? std::u16string(lpName) : u"", "OpenEventW");
}
