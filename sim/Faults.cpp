// Fallible calls: one fault point at the start of every function that can
// fail on Windows and that a program may call. A test numbers the calls that
// pass a fault point and makes one of them, or every one from some call on,
// fail; each function then fails the way Windows fails it, with no effect.
//
// The fault points, by area (each function's own file says how it fails):
//   global memory   GlobalAlloc, GlobalReAlloc, GlobalLock
//   files           CreateFileA and W, GetFileSize, ReadFile, WriteFile,
//                   SetFilePointer, GetFullPathNameA and W, SearchPathA and W
//   the module      GetModuleFileNameA and W
//   libraries       LoadLibraryA, LoadLibraryW, GetProcAddress
//   processes       OpenProcess, VirtualAllocEx, VirtualFreeEx,
//                   ReadProcessMemory, WriteProcessMemory, EnumProcessModules,
//                   GetModuleFileNameExA and W, QueryFullProcessImageNameA and W,
//                   IsWow64Process, CreateToolhelp32Snapshot, Process32First,
//                   Process32Next, Wow64DisableWow64FsRedirection,
//                   Wow64RevertWow64FsRedirection
//   mappings        CreateFileMappingA, MapViewOfFile
//   own windows     RegisterClassA and W, CreateWindowExA and W, LoadIconA
//                   and W, LoadCursorA and W, CreateSolidBrush,
//                   SetForegroundWindow, MessageBoxA and W, MessageBeep
//   other windows   EnumWindows, EnumChildWindows, FindWindowExA and W,
//                   GetWindowTextA and W, GetClassNameA and W, SendMessageA
//                   and W, SendMessageTimeoutA and W (to another program's
//                   window)
//   clipboard       OpenClipboard, EmptyClipboard, SetClipboardData
//   shell           SHGetSpecialFolderPathA and W, ShellExecuteA and W
// Functions that release something (CloseHandle, GlobalFree, GlobalUnlock,
// FreeLibrary, UnmapViewOfFile, CloseClipboard, DestroyWindow) and pure
// questions (IsWindowVisible, PathFileExistsA, ...) have none.
#include "SimInternal.h"

namespace sim {

bool FaultHere(const char* function) {
  World::Impl& s = State();
  if (s.simOwnCalls > 0 || s.inWindowHook) return false;
  long k = ++s.fallibleCalls;
  bool fail = k == s.failFallibleCall || (s.failFallibleCallsFrom > 0 && k >= s.failFallibleCallsFrom);
  s.fallibleCallRecord.push_back(fail ? std::string(function) + " failed" : std::string(function));
  return fail;
}

void NoteWideCall(const char* function) {
  World::Impl& s = State();
  if (s.simOwnCalls > 0 || s.inWindowHook || !IsWin9x()) return;
  Current().wideCallsOnWindows9x.push_back(function);
}

SimOwnCalls::SimOwnCalls() { ++State().simOwnCalls; }
SimOwnCalls::~SimOwnCalls() { --State().simOwnCalls; }

void World::CountFallibleCalls() {
  impl_->fallibleCalls = 0;
  impl_->fallibleCallRecord.clear();
}

long World::FallibleCalls() const { return impl_->fallibleCalls; }

const std::vector<std::string>& World::FallibleCallRecord() const {
  return impl_->fallibleCallRecord;
}

void World::FailFallibleCall(long k) { impl_->failFallibleCall = k; }
void World::FailFallibleCallsFrom(long k) { impl_->failFallibleCallsFrom = k; }

}  // namespace sim
