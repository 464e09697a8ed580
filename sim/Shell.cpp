// Shell folders: the special folders a fresh world has (those of a Windows XP
// user named "user") and SHGetSpecialFolderPathA and W; shell launches.
#include <algorithm>
#include <cstring>

#include "SimInternal.h"

namespace sim {

namespace {

const char kUser[] = "C:\\Documents and Settings\\user";
const char kAllUsers[] = "C:\\Documents and Settings\\All Users";

struct DefaultFolder {
  int csidl;
  const char* base;
  const char* rest;
};

const DefaultFolder kDefaultFolders[] = {
    {CSIDL_DESKTOP, kUser, "\\Desktop"},
    {CSIDL_DESKTOPDIRECTORY, kUser, "\\Desktop"},
    {CSIDL_PERSONAL, kUser, "\\My Documents"},
    {CSIDL_FAVORITES, kUser, "\\Favorites"},
    {CSIDL_MYPICTURES, kUser, "\\My Documents\\My Pictures"},
    {CSIDL_MYMUSIC, kUser, "\\My Documents\\My Music"},
    {CSIDL_MYVIDEO, kUser, "\\My Documents\\My Videos"},
    {CSIDL_COMMON_DOCUMENTS, kAllUsers, "\\Documents"},
    {CSIDL_COMMON_PICTURES, kAllUsers, "\\Documents\\My Pictures"},
    {CSIDL_COMMON_MUSIC, kAllUsers, "\\Documents\\My Music"},
    {CSIDL_COMMON_VIDEO, kAllUsers, "\\Documents\\My Videos"},
};

}  // namespace

void InstallDefaultSpecialFolders(World& world) {
  for (const DefaultFolder& f : kDefaultFolders) {
    std::u16string path = AnsiToWide(std::string(f.base) + f.rest);
    world.impl().specialFolders[f.csidl] = path;
    world.AddDirectory(path);
  }
}

void World::SetSpecialFolder(int csidl, const Text& path) {
  impl_->specialFolders[csidl & ~CSIDL_FLAG_MASK] = path.Wide();
}

void World::SetShellExecuteResult(int result) { impl_->shellExecuteResult = result; }

namespace {

// The folder's path for a CSIDL value, created first when asked; false when
// there is none, it cannot be made, or it does not fit MAX_PATH characters.
bool SpecialFolderPath(int csidl, bool create, std::u16string* path) {
  World::Impl& s = State();
  auto it = s.specialFolders.find(csidl & ~CSIDL_FLAG_MASK);
  if (it == s.specialFolders.end() || it->second.empty() || it->second.size() >= MAX_PATH) {
    return false;
  }
  if (create || (csidl & CSIDL_FLAG_CREATE)) {
    Resolved r = ResolvePath(it->second);
    if (r.error || !r.node) {
      if (!MakeDirectories(it->second)) return false;
    } else if (!r.node->isDir) {
      return false;  // a file of that name is in the way
    }
  }
  *path = it->second;
  return true;
}

// Nothing is started: the call is recorded with every argument. The result is
// 42 (success) when the file names an existing file or folder, else
// SE_ERR_FNF, unless the test chose a result. A fault is recorded as well,
// as "ShellExecuteA failed" or "ShellExecuteW failed", and gives SE_ERR_OOM.
HINSTANCE Launch(const ShellLaunchRecord& r, const char* function, bool fault) {
  World& world = Current();
  world.launches.push_back(r);
  if (fault) {
    world.outputCalls.push_back(std::string(function) + " failed");
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(SE_ERR_OOM));
  }
  world.outputCalls.push_back(function);
  int result = world.impl().shellExecuteResult;
  if (!result) {
    SimOwnCalls own;
    result = !r.fileNull && !r.fileWide.empty() && PathFileExistsW(r.fileWide.c_str()) ? 42
                                                                                      : SE_ERR_FNF;
  }
  return reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(result));
}

}  // namespace

}  // namespace sim

using namespace sim;

// The buffer is taken to hold MAX_PATH characters. With fCreate (or
// CSIDL_FLAG_CREATE) a missing folder is created first. The A form fails as
// well when the path in the code page does not fit MAX_PATH bytes.
BOOL SHGetSpecialFolderPathA(HWND, LPSTR lpszPath, int csidl, BOOL fCreate) {
  if (FaultHere("SHGetSpecialFolderPathA")) return FALSE;  // the buffer is left alone
  if (!lpszPath) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::u16string path;
  if (!SpecialFolderPath(csidl, fCreate != FALSE, &path)) return FALSE;
  std::string ansi = WideToAnsi(path);
  if (ansi.size() >= MAX_PATH) return FALSE;
  std::memcpy(lpszPath, ansi.c_str(), ansi.size() + 1);
  return TRUE;
}

BOOL SHGetSpecialFolderPathW(HWND, LPWSTR lpszPath, int csidl, BOOL fCreate) {
  sim::NoteWideCall("SHGetSpecialFolderPathW");
  if (FaultHere("SHGetSpecialFolderPathW")) return FALSE;  // the buffer is left alone
  if (!lpszPath) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::u16string path;
  if (!SpecialFolderPath(csidl, fCreate != FALSE, &path)) return FALSE;
  std::copy(path.begin(), path.end(), lpszPath);
  lpszPath[path.size()] = 0;
  return TRUE;
}

HINSTANCE ShellExecuteA(HWND hwnd, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters,
                        LPCSTR lpDirectory, INT nShowCmd) {
  bool fault = FaultHere("ShellExecuteA");
  ShellLaunchRecord r;
  r.owner = hwnd;
  r.verbNull = !lpOperation;
  r.verb = lpOperation ? lpOperation : "";
  r.fileNull = !lpFile;
  r.file = lpFile ? lpFile : "";
  r.parametersNull = !lpParameters;
  r.parameters = lpParameters ? lpParameters : "";
  r.directoryNull = !lpDirectory;
  r.directory = lpDirectory ? lpDirectory : "";
  r.show = nShowCmd;
  r.fileWide = AnsiText(lpFile);
  r.parametersWide = AnsiText(lpParameters);
  r.directoryWide = AnsiText(lpDirectory);
  return Launch(r, "ShellExecuteA", fault);
}

// The narrow texts are those a started ANSI program sees: the wide ones in
// the code page, with best-fit.
HINSTANCE ShellExecuteW(HWND hwnd, LPCWSTR lpOperation, LPCWSTR lpFile, LPCWSTR lpParameters,
                        LPCWSTR lpDirectory, INT nShowCmd) {
  sim::NoteWideCall("ShellExecuteW");
  bool fault = FaultHere("ShellExecuteW");
  auto wide = [](LPCWSTR text) { return text ? std::u16string(text) : std::u16string(); };
  ShellLaunchRecord r;
  r.owner = hwnd;
  r.wide = true;
  r.verbNull = !lpOperation;
  r.verb = WideToAnsi(wide(lpOperation));
  r.fileNull = !lpFile;
  r.fileWide = wide(lpFile);
  r.file = WideToAnsi(r.fileWide);
  r.parametersNull = !lpParameters;
  r.parametersWide = wide(lpParameters);
  r.parameters = WideToAnsi(r.parametersWide);
  r.directoryNull = !lpDirectory;
  r.directoryWide = wide(lpDirectory);
  r.directory = WideToAnsi(r.directoryWide);
  r.show = nShowCmd;
  return Launch(r, "ShellExecuteW", fault);
}
