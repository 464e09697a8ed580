// File functions of the kernel: opening, reading and writing files of the
// in-memory file system, their attributes, full paths and the search along a
// path. Also CloseHandle, which ends any kernel handle.
#include <algorithm>
#include <cstring>

#include "SimInternal.h"

namespace sim {

HANDLE NewKernelHandle(const KernelObject& obj) {
  World::Impl& s = State();
  uintptr_t value = s.nextKernelHandle;
  s.nextKernelHandle += 4;
  s.handles[value] = obj;
  return reinterpret_cast<HANDLE>(value);
}

KernelObject* FindKernelObject(HANDLE h, KernelObject::Kind kind) {
  auto& handles = State().handles;
  auto it = handles.find(reinterpret_cast<uintptr_t>(h));
  if (it == handles.end() || it->second.kind != kind) return nullptr;
  return &it->second;
}

namespace {

OpenFile* FindFile(HANDLE h) {
  KernelObject* obj = FindKernelObject(h, KernelObject::kFile);
  return obj ? obj->file.get() : nullptr;
}

const FileFaults* FaultsFor(const std::string& key) {
  auto& faults = State().fileFaults;
  auto it = faults.find(key);
  return it == faults.end() ? nullptr : &it->second;
}

bool WantsRead(DWORD access) { return access & (GENERIC_READ | GENERIC_ALL); }
bool WantsWrite(DWORD access) { return access & (GENERIC_WRITE | GENERIC_ALL); }

bool WantsData(DWORD access) { return WantsRead(access) || WantsWrite(access) || (access & DELETE); }

// Two opens of one file get along when each one's share mode admits the
// other's access. An open without read, write or delete access (to read
// attributes only) takes no part in sharing.
bool Compatible(DWORD accessA, DWORD shareA, DWORD accessB, DWORD shareB) {
  if (!WantsData(accessA) || !WantsData(accessB)) return true;
  if (WantsRead(accessA) && !(shareB & FILE_SHARE_READ)) return false;
  if (WantsWrite(accessA) && !(shareB & FILE_SHARE_WRITE)) return false;
  if ((accessA & DELETE) && !(shareB & FILE_SHARE_DELETE)) return false;
  if (WantsRead(accessB) && !(shareA & FILE_SHARE_READ)) return false;
  if (WantsWrite(accessB) && !(shareA & FILE_SHARE_WRITE)) return false;
  if ((accessB & DELETE) && !(shareA & FILE_SHARE_DELETE)) return false;
  return true;
}

bool SharingAllows(const FsNode* node, const std::string& key, DWORD access, DWORD share) {
  World::Impl& s = State();
  auto held = s.heldFiles.find(key);
  if (held != s.heldFiles.end() &&
      !Compatible(access, share, held->second.access, held->second.share)) {
    return false;
  }
  for (const auto& h : s.handles) {
    if (h.second.kind != KernelObject::kFile || h.second.file->node.get() != node) continue;
    if (!Compatible(access, share, h.second.file->access, h.second.file->share)) return false;
  }
  return true;
}

// Writes a result text the way the path functions do: the length without the
// NUL when it fits, else the size needed with the NUL and the buffer untouched.
DWORD CopyPathResult(const std::string& text, size_t filePartOffset, bool hasFilePart,
                     DWORD bufferLength, LPSTR buffer, LPSTR* filePart) {
  if (text.size() + 1 > bufferLength || !buffer) {
    return static_cast<DWORD>(text.size() + 1);
  }
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  if (filePart) *filePart = hasFilePart ? buffer + filePartOffset : nullptr;
  return static_cast<DWORD>(text.size());
}

size_t FilePartOffset(const std::string& full, bool* has) {
  // A trail byte can be 0x5C, so find the last real separator character.
  size_t last = std::string::npos;
  for (const char* p = full.c_str(); *p; p += CharLen(p)) {
    if (*p == '\\' && CharLen(p) == 1) last = static_cast<size_t>(p - full.c_str());
  }
  // The separators of a leading "\\\\" start a server name, not a file part.
  bool unc = full.size() >= 2 && full[0] == '\\' && full[1] == '\\';
  *has = last != std::string::npos && last + 1 < full.size() && !(unc && last < 2);
  return *has ? last + 1 : 0;
}

bool EndsWithSeparator(const std::string& s) {
  const char* last = nullptr;
  for (const char* p = s.c_str(); *p; p += CharLen(p)) last = p;
  return last && CharLen(last) == 1 && (*last == '\\' || *last == '/');
}

bool Exists(const std::string& path) {
  Resolved r = ResolvePath(path);
  return !r.error && r.node;
}

bool HasExtension(const std::string& name) {
  const char* p = name.c_str();
  const char* dot = nullptr;
  while (*p) {
    if (CharLen(p) == 1 && (*p == '\\' || *p == '/')) dot = nullptr;
    else if (*p == '.') dot = p;
    p += CharLen(p);
  }
  return dot != nullptr;
}

// A name with a drive, a root, or a leading ".\" or "..\" is tried as it
// stands; any other name, also one with a subdirectory in it, is looked for in
// each directory of the search path.
bool NameIsExplicit(const std::string& text) {
  const char* name = text.c_str();
  if (name[0] && name[1] == ':' && !IsLead(static_cast<unsigned char>(name[0]))) return true;
  if (name[0] == '\\' || name[0] == '/') return true;
  if (name[0] != '.') return false;
  if (name[1] == '\\' || name[1] == '/') return true;
  return name[1] == '.' && (name[2] == '\\' || name[2] == '/');
}

std::string DefaultSearchPath() {
  World::Impl& s = State();
  std::vector<std::string> dirs;
  if (s.systemSearchPathSet) {
    dirs = s.systemSearchPath;
  } else {
    std::string module = s.modulePath;
    size_t slash = module.find_last_of('\\');
    dirs.push_back(slash == std::string::npos ? module : module.substr(0, slash));
    dirs.push_back(".");
    dirs.push_back(s.systemDirectory);
    if (s.osPlatform == VER_PLATFORM_WIN32_NT) dirs.push_back(s.windowsDirectory + "\\system");
    dirs.push_back(s.windowsDirectory);
    dirs.insert(dirs.end(), s.pathVariable.begin(), s.pathVariable.end());
  }
  std::string joined;
  for (size_t i = 0; i < dirs.size(); ++i) {
    if (i) joined += ';';
    joined += dirs[i];
  }
  return joined;
}

}  // namespace

}  // namespace sim

using namespace sim;

// A fault fails the open as another program's exclusive hold does; nothing is
// created.
HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition, DWORD, HANDLE) {
  if (FaultHere("CreateFileA")) {
    SetError(ERROR_SHARING_VIOLATION);
    return INVALID_HANDLE_VALUE;
  }
  if (!lpFileName) {
    SetError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  // TRUNCATE_EXISTING is accepted also without write access.
  if (dwCreationDisposition < CREATE_NEW || dwCreationDisposition > TRUNCATE_EXISTING) {
    SetError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  if (!*lpFileName) {
    SetError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  Resolved r = ResolvePath(lpFileName);
  if (const FileFaults* f = FaultsFor(r.key)) {
    if (f->openError) {
      SetError(f->openError);
      return INVALID_HANDLE_VALUE;
    }
  }
  if (r.error) {
    SetError(r.error);
    return INVALID_HANDLE_VALUE;
  }
  bool existed = r.node != nullptr;
  if (existed && dwCreationDisposition == CREATE_NEW) {
    SetError(ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
  }
  if (existed && r.node->isDir) {
    SetError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  if (!existed && (dwCreationDisposition == OPEN_EXISTING ||
                   dwCreationDisposition == TRUNCATE_EXISTING)) {
    SetError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  if (!existed && (r.trailingSeparator || r.leaf.empty())) {
    SetError(ERROR_INVALID_NAME);
    return INVALID_HANDLE_VALUE;
  }
  bool truncates = existed && (dwCreationDisposition == CREATE_ALWAYS ||
                               dwCreationDisposition == TRUNCATE_EXISTING);
  if (existed && (r.node->attributes & FILE_ATTRIBUTE_READONLY) &&
      (WantsWrite(dwDesiredAccess) || truncates)) {
    SetError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  if (existed && !SharingAllows(r.node.get(), r.key, dwDesiredAccess, dwShareMode)) {
    SetError(ERROR_SHARING_VIOLATION);
    return INVALID_HANDLE_VALUE;
  }
  if (!existed && !SharingAllows(nullptr, r.key, dwDesiredAccess, dwShareMode)) {
    SetError(ERROR_SHARING_VIOLATION);
    return INVALID_HANDLE_VALUE;
  }
  if (!existed) r.node = AddChildNode(r.parent, r.leaf, false);
  if (truncates) r.node->bytes.clear();
  KernelObject obj;
  obj.kind = KernelObject::kFile;
  obj.file = std::make_shared<OpenFile>();
  obj.file->node = r.node;
  obj.file->key = r.key;
  obj.file->access = dwDesiredAccess;
  obj.file->share = dwShareMode;
  HANDLE h = NewKernelHandle(obj);
  bool reportsExisting = existed && (dwCreationDisposition == CREATE_ALWAYS ||
                                     dwCreationDisposition == OPEN_ALWAYS);
  SetError(reportsExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return h;
}

DWORD GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
  if (FaultHere("GetFileSize")) {
    SetError(ERROR_ACCESS_DENIED);
    return INVALID_FILE_SIZE;
  }
  OpenFile* f = FindFile(hFile);
  if (!f) {
    SetError(ERROR_INVALID_HANDLE);
    return INVALID_FILE_SIZE;
  }
  if (const FileFaults* faults = FaultsFor(f->key)) {
    if (faults->getFileSize) {
      SetError(ERROR_ACCESS_DENIED);
      return INVALID_FILE_SIZE;
    }
  }
  // Success leaves the last error alone.
  uint64_t size = f->node->bytes.size();
  if (lpFileSizeHigh) *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
  return static_cast<DWORD>(size);
}

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
              LPDWORD lpNumberOfBytesRead, LPOVERLAPPED) {
  if (lpNumberOfBytesRead) *lpNumberOfBytesRead = 0;
  if (FaultHere("ReadFile")) {
    SetError(ERROR_READ_FAULT);  // the file position stays
    return FALSE;
  }
  OpenFile* f = FindFile(hFile);
  if (!f) {
    SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!WantsRead(f->access)) {
    SetError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (!lpBuffer && nNumberOfBytesToRead) {
    SetError(ERROR_NOACCESS);
    return FALSE;
  }
  DWORD want = nNumberOfBytesToRead;
  if (const FileFaults* faults = FaultsFor(f->key)) {
    if (faults->read) {
      SetError(ERROR_READ_FAULT);
      return FALSE;
    }
    if (faults->hasShortRead) want = std::min(want, faults->shortRead);
  }
  const std::string& bytes = f->node->bytes;
  uint64_t available = f->position < bytes.size() ? bytes.size() - f->position : 0;
  DWORD n = static_cast<DWORD>(std::min<uint64_t>(want, available));
  if (n) std::memcpy(lpBuffer, bytes.data() + f->position, n);
  f->position += n;
  if (lpNumberOfBytesRead) *lpNumberOfBytesRead = n;
  return TRUE;
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
               LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED) {
  if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = 0;
  if (FaultHere("WriteFile")) {
    SetError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  OpenFile* f = FindFile(hFile);
  if (!f) {
    SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!WantsWrite(f->access)) {
    SetError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (!lpBuffer && nNumberOfBytesToWrite) {
    SetError(ERROR_NOACCESS);
    return FALSE;
  }
  std::string& bytes = f->node->bytes;
  if (bytes.size() < f->position + nNumberOfBytesToWrite) {
    bytes.resize(f->position + nNumberOfBytesToWrite, '\0');
  }
  if (nNumberOfBytesToWrite) {
    std::memcpy(&bytes[f->position], lpBuffer, nNumberOfBytesToWrite);
  }
  f->position += nNumberOfBytesToWrite;
  if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = nNumberOfBytesToWrite;
  return TRUE;
}

DWORD SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh,
                     DWORD dwMoveMethod) {
  if (FaultHere("SetFilePointer")) {
    SetError(ERROR_ACCESS_DENIED);  // the position stays
    return INVALID_SET_FILE_POINTER;
  }
  OpenFile* f = FindFile(hFile);
  if (!f) {
    SetError(ERROR_INVALID_HANDLE);
    return INVALID_SET_FILE_POINTER;
  }
  int64_t distance = lpDistanceToMoveHigh
                         ? static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(
                                                     *lpDistanceToMoveHigh))
                                                 << 32) |
                                                static_cast<uint32_t>(lDistanceToMove))
                         : static_cast<int64_t>(lDistanceToMove);
  int64_t base;
  switch (dwMoveMethod) {
    case FILE_BEGIN: base = 0; break;
    case FILE_CURRENT: base = static_cast<int64_t>(f->position); break;
    case FILE_END: base = static_cast<int64_t>(f->node->bytes.size()); break;
    default:
      SetError(ERROR_INVALID_PARAMETER);
      return INVALID_SET_FILE_POINTER;
  }
  int64_t target = base + distance;
  if (target < 0) {
    SetError(ERROR_NEGATIVE_SEEK);
    return INVALID_SET_FILE_POINTER;
  }
  f->position = static_cast<uint64_t>(target);
  if (lpDistanceToMoveHigh) *lpDistanceToMoveHigh = static_cast<LONG>(f->position >> 32);
  SetError(ERROR_SUCCESS);
  return static_cast<DWORD>(f->position);
}

BOOL CloseHandle(HANDLE hObject) {
  auto& handles = State().handles;
  auto it = handles.find(reinterpret_cast<uintptr_t>(hObject));
  if (it == handles.end()) {
    SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  handles.erase(it);
  return TRUE;
}

DWORD GetFileAttributesA(LPCSTR lpFileName) {
  if (!lpFileName || !*lpFileName) {
    SetError(lpFileName ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_PARAMETER);
    return INVALID_FILE_ATTRIBUTES;
  }
  Resolved r = ResolvePath(lpFileName);
  if (r.error) {
    // A file named with a trailing separator ("file.txt\\") is reported as a
    // path that does not exist here, where opening it reports a bad name.
    SetError(r.error == ERROR_INVALID_NAME && r.trailingSeparator ? ERROR_PATH_NOT_FOUND : r.error);
    return INVALID_FILE_ATTRIBUTES;
  }
  if (!r.node) {
    SetError(ERROR_FILE_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
  }
  return r.node->attributes ? r.node->attributes : FILE_ATTRIBUTE_NORMAL;
}

DWORD GetFullPathNameA(LPCSTR lpFileName, DWORD nBufferLength, LPSTR lpBuffer, LPSTR* lpFilePart) {
  if (FaultHere("GetFullPathNameA")) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  if (!lpFileName) {
    SetError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  // A text without a full path (empty, or blanks only) gives 0 and leaves
  // the last error alone.
  std::string full;
  DWORD error = 0;
  if (!FullPath(lpFileName, &full, &error)) return 0;
  bool hasPart = false;
  size_t part = FilePartOffset(full, &hasPart);
  return CopyPathResult(full, part, hasPart, nBufferLength, lpBuffer, lpFilePart);
}

DWORD SearchPathA(LPCSTR lpPath, LPCSTR lpFileName, LPCSTR lpExtension, DWORD nBufferLength,
                  LPSTR lpBuffer, LPSTR* lpFilePart) {
  if (FaultHere("SearchPathA")) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  if (!lpFileName || !*lpFileName) {
    SetError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string name = lpFileName;
  std::string withExt = name;
  // A name tried as it stands gets the extension when its last component has
  // no dot; a name searched along the path only when it has no dot at all.
  bool addExt = lpExtension && *lpExtension &&
                (NameIsExplicit(name) ? !HasExtension(name) : name.find('.') == std::string::npos);
  if (addExt) withExt += lpExtension;

  std::string found;
  if (NameIsExplicit(name)) {
    if (Exists(name)) {
      found = name;
    } else if (addExt && Exists(withExt)) {
      found = withExt;
    }
  } else {
    std::string path = (lpPath && *lpPath) ? std::string(lpPath) : DefaultSearchPath();
    size_t start = 0;
    while (start < path.size() && found.empty()) {
      size_t end = path.find(';', start);
      if (end == std::string::npos) end = path.size();
      std::string dir = path.substr(start, end - start);
      std::string candidate = dir;
      if (!candidate.empty() && !EndsWithSeparator(candidate)) candidate += '\\';
      candidate += withExt;
      if (Exists(candidate)) found = candidate;
      start = end + 1;
    }
  }
  if (found.empty()) {
    SetError(ERROR_FILE_NOT_FOUND);
    return 0;
  }
  SimOwnCalls own;
  return GetFullPathNameA(found.c_str(), nBufferLength, lpBuffer, lpFilePart);
}

BOOL DeleteFileA(LPCSTR lpFileName) {
  if (!lpFileName) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Resolved r = ResolvePath(lpFileName);
  if (r.error || !r.node) {
    SetError(r.error ? r.error : ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  if (r.node->isDir || (r.node->attributes & FILE_ATTRIBUTE_READONLY)) {
    SetError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (!SharingAllows(r.node.get(), r.key, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE)) {
    SetError(ERROR_SHARING_VIOLATION);
    return FALSE;
  }
  r.node->deleted = true;
  r.parent->children.erase(FoldName(r.leaf));
  return TRUE;
}

BOOL CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES) {
  if (!lpPathName) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Resolved r = ResolvePath(lpPathName);
  if (r.error) {
    SetError(r.error);
    return FALSE;
  }
  if (r.node) {
    SetError(ERROR_ALREADY_EXISTS);
    return FALSE;
  }
  AddChildNode(r.parent, r.leaf, true);
  return TRUE;
}
