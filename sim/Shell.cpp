// Shell folders: the special folders a fresh world has (those of a Windows XP
// user named "user") and SHGetSpecialFolderPathA.
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
    std::string path = std::string(f.base) + f.rest;
    world.impl().specialFolders[f.csidl] = path;
    world.AddDirectory(path);
  }
}

void World::SetSpecialFolder(int csidl, const std::string& path) {
  impl_->specialFolders[csidl & ~CSIDL_FLAG_MASK] = path;
}

void World::SetShellExecuteResult(int result) { impl_->shellExecuteResult = result; }

}  // namespace sim

using namespace sim;

// The buffer is taken to hold MAX_PATH bytes. With fCreate (or
// CSIDL_FLAG_CREATE) a missing folder is created first.
BOOL SHGetSpecialFolderPathA(HWND, LPSTR lpszPath, int csidl, BOOL fCreate) {
  World::Impl& s = State();
  if (FaultHere("SHGetSpecialFolderPathA")) return FALSE;  // the buffer is left alone
  if (!lpszPath) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  bool create = fCreate || (csidl & CSIDL_FLAG_CREATE);
  auto it = s.specialFolders.find(csidl & ~CSIDL_FLAG_MASK);
  if (it == s.specialFolders.end() || it->second.empty() || it->second.size() >= MAX_PATH) {
    return FALSE;
  }
  const std::string& path = it->second;
  if (create) {
    Resolved r = ResolvePath(path);
    if (r.error || !r.node) {
      if (!MakeDirectories(path)) return FALSE;
    } else if (!r.node->isDir) {
      return FALSE;  // a file of that name is in the way
    }
  }
  std::memcpy(lpszPath, path.c_str(), path.size() + 1);
  return TRUE;
}

// Nothing is started: the call is recorded with every argument. The result is
// 42 (success) when the file names an existing file or folder, else
// SE_ERR_FNF, unless the test chose a result. A fault is recorded as well,
// as "ShellExecuteA failed", and gives SE_ERR_OOM.
HINSTANCE ShellExecuteA(HWND hwnd, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters,
                        LPCSTR lpDirectory, INT nShowCmd) {
  World& world = Current();
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
  world.launches.push_back(r);
  if (fault) {
    world.outputCalls.push_back("ShellExecuteA failed");
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(SE_ERR_OOM));
  }
  world.outputCalls.push_back("ShellExecuteA");
  int result = world.impl().shellExecuteResult;
  if (!result) result = lpFile && *lpFile && PathFileExistsA(lpFile) ? 42 : SE_ERR_FNF;
  return reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(result));
}
