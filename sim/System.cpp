// The program's own process: its module, version, current directory, last
// error, command line, clock and debug output.
#include <cctype>
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

std::string BaseNameOf(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Writes a text with the length rule of the directory functions: the length
// without the NUL when it fits, else the size needed with the NUL.
DWORD CopyDirectoryText(const std::string& text, DWORD size, LPSTR buffer) {
  if (!buffer || text.size() + 1 > size) return static_cast<DWORD>(text.size() + 1);
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return static_cast<DWORD>(text.size());
}

}  // namespace

bool IsWin9x() { return State().osPlatform == VER_PLATFORM_WIN32_WINDOWS; }

}  // namespace sim

using namespace sim;

HMODULE GetModuleHandleA(LPCSTR lpModuleName) {
  World::Impl& s = State();
  if (!lpModuleName) return SIM_PROGRAM_INSTANCE;
  std::string name = FoldName(lpModuleName);
  if (name.find('.') == std::string::npos) name += ".dll";
  if (name == FoldName(BaseNameOf(s.modulePath))) return SIM_PROGRAM_INSTANCE;
  for (const SystemModule& m : kSystemModules) {
    if (name == m.name) return reinterpret_cast<HMODULE>(m.handle);
  }
  if (HMODULE loaded = LoadedLibraryHandle(name)) return loaded;
  SetError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

// Windows XP and earlier cut a path that does not fit to nSize characters
// without a terminating NUL; later versions keep the NUL and report
// ERROR_INSUFFICIENT_BUFFER (also for a buffer of no size). Both return
// nSize. A path that fits clears the last error. A fault gives 0 and leaves
// the buffer alone.
DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
  World::Impl& s = State();
  if (FaultHere("GetModuleFileNameA")) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  std::string path;
  if (!hModule || hModule == SIM_PROGRAM_INSTANCE) {
    path = s.modulePath;
  } else {
    for (const SystemModule& m : kSystemModules) {
      if (reinterpret_cast<uintptr_t>(hModule) == m.handle) {
        path = s.systemDirectory + "\\" + m.name;
      }
    }
    if (path.empty()) {
      SetError(ERROR_MOD_NOT_FOUND);
      return 0;
    }
  }
  if (!lpFilename || nSize == 0) {
    if (s.osMajor >= 6) SetError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (path.size() < nSize) {
    std::memcpy(lpFilename, path.c_str(), path.size() + 1);
    SetError(ERROR_SUCCESS);
    return static_cast<DWORD>(path.size());
  }
  if (s.osMajor >= 6) {
    std::memcpy(lpFilename, path.c_str(), nSize - 1);
    lpFilename[nSize - 1] = 0;
    SetError(ERROR_INSUFFICIENT_BUFFER);
  } else {
    std::memcpy(lpFilename, path.c_str(), nSize);
    SetError(ERROR_SUCCESS);
  }
  return nSize;
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
  return CopyDirectoryText(State().currentDirectory, nBufferLength, lpBuffer);
}

BOOL SetCurrentDirectoryA(LPCSTR lpPathName) {
  World::Impl& s = State();
  if (!lpPathName || !*lpPathName) {
    SetError(lpPathName ? ERROR_INVALID_NAME : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Resolved r = ResolvePath(lpPathName);
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
  std::string dir = r.full;
  if (dir.size() > 3 && dir.back() == '\\') dir.pop_back();
  s.currentDirectory = dir;
  s.driveDirectories[static_cast<char>(std::toupper(static_cast<unsigned char>(dir[0])))] = dir;
  return TRUE;
}

UINT GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) {
  return CopyDirectoryText(State().windowsDirectory, uSize, lpBuffer);
}

UINT GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize) {
  return CopyDirectoryText(State().systemDirectory, uSize, lpBuffer);
}

DWORD GetLastError(void) { return State().lastError; }

void SetLastError(DWORD dwErrCode) { State().lastError = dwErrCode; }

// Each call becomes one trace line; a line break at its end is not kept.
void OutputDebugStringA(LPCSTR lpOutputString) {
  if (!lpOutputString) return;
  std::string line = lpOutputString;
  if (!line.empty() && line.back() == '\n') line.pop_back();
  if (!line.empty() && line.back() == '\r') line.pop_back();
  Current().trace.push_back(line);
}

DWORD GetTickCount(void) { return State().tickCount; }

void Sleep(DWORD dwMilliseconds) { State().tickCount += dwMilliseconds; }

LPSTR GetCommandLineA(void) {
  World::Impl& s = State();
  s.commandLineBuffer.assign(s.commandLine.begin(), s.commandLine.end());
  s.commandLineBuffer.push_back('\0');
  return s.commandLineBuffer.data();
}

DWORD GetCurrentProcessId(void) { return kProgramProcessId; }

DWORD GetCurrentThreadId(void) { return kProgramThreadId; }

HANDLE GetCurrentProcess(void) { return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)); }

UINT GetACP(void) { return State().codePage; }
