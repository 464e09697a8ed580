// File functions of the kernel: opening, reading and writing files of the
// in-memory file system, their attributes, full paths and the search along a
// path. Also CloseHandle, which ends any kernel handle.
//
// The W functions do the work on UTF-16 names. The A functions convert their
// names to UTF-16 first (AnsiName: a name of more than MAX_PATH characters
// fails there) and their path results back to the ANSI code page with
// best-fit, as the system does: a name the code page cannot hold comes out as
// a look-alike that may name another file, or none.
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

constexpr size_t kNoFilePart = std::u16string::npos;

OpenFile* FindFile(HANDLE h) {
  KernelObject* obj = FindKernelObject(h, KernelObject::kFile);
  return obj ? obj->file.get() : nullptr;
}

const FileFaults* FaultsFor(const std::u16string& key) {
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

bool SharingAllows(const FsNode* node, const std::u16string& key, DWORD access, DWORD share) {
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
// terminating zero when it fits, else the size needed with it and the buffer
// untouched. The W functions count characters, the A functions bytes of the
// text converted.
DWORD CopyWideResult(const std::u16string& text, size_t filePart, DWORD bufferLength,
                     LPWSTR buffer, LPWSTR* filePartOut) {
  if (text.size() + 1 > bufferLength || !buffer) return static_cast<DWORD>(text.size() + 1);
  std::memcpy(buffer, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
  if (filePartOut) *filePartOut = filePart == kNoFilePart ? nullptr : buffer + filePart;
  return static_cast<DWORD>(text.size());
}

DWORD CopyAnsiResult(const std::u16string& text, size_t filePart, DWORD bufferLength,
                     LPSTR buffer, LPSTR* filePartOut) {
  std::string ansi = WideToAnsi(text);
  if (ansi.size() + 1 > bufferLength || !buffer) return static_cast<DWORD>(ansi.size() + 1);
  std::memcpy(buffer, ansi.c_str(), ansi.size() + 1);
  if (filePartOut) {
    *filePartOut = filePart == kNoFilePart ? nullptr
                                           : buffer + WideToAnsi(text.substr(0, filePart)).size();
  }
  return static_cast<DWORD>(ansi.size());
}

// Where the file part of a full path starts: after its last separator, unless
// nothing follows it or the separators start a server name ("\\server").
size_t FilePartOffset(const std::u16string& full) {
  size_t last = full.find_last_of(u'\\');
  bool unc = full.size() >= 2 && full[0] == u'\\' && full[1] == u'\\';
  if (last == std::u16string::npos || last + 1 >= full.size() || (unc && last < 2)) {
    return kNoFilePart;
  }
  return last + 1;
}

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

bool EndsWithSeparator(const std::u16string& s) { return !s.empty() && IsSeparator(s.back()); }

bool Exists(const std::u16string& path, bool ansiLimit) {
  Resolved r = ResolvePath(path, ansiLimit);
  return !r.error && r.node;
}

// A dot in the last component.
bool HasExtension(const std::u16string& name) {
  bool dot = false;
  for (char16_t c : name) {
    if (IsSeparator(c)) dot = false;
    else if (c == u'.') dot = true;
  }
  return dot;
}

// A name with a drive, a root, or a leading ".\" or "..\" is tried as it
// stands; any other name, also one with a subdirectory in it, is looked for in
// each directory of the search path.
bool NameIsExplicit(const std::u16string& name) {
  auto at = [&](size_t i) -> char16_t { return i < name.size() ? name[i] : u'\0'; };
  if (at(0) && at(1) == u':') return true;
  if (IsSeparator(at(0))) return true;
  if (at(0) != u'.') return false;
  if (IsSeparator(at(1))) return true;
  return at(1) == u'.' && IsSeparator(at(2));
}

std::u16string DefaultSearchPath() {
  World::Impl& s = State();
  std::vector<std::u16string> dirs;
  if (s.systemSearchPathSet) {
    dirs = s.systemSearchPath;
  } else {
    const std::u16string& module = s.modulePath;
    size_t slash = module.find_last_of(u'\\');
    dirs.push_back(slash == std::u16string::npos ? module : module.substr(0, slash));
    dirs.push_back(u".");
    dirs.push_back(s.systemDirectory);
    if (s.osPlatform == VER_PLATFORM_WIN32_NT) dirs.push_back(s.windowsDirectory + u"\\system");
    dirs.push_back(s.windowsDirectory);
    dirs.insert(dirs.end(), s.pathVariable.begin(), s.pathVariable.end());
  }
  std::u16string joined;
  for (size_t i = 0; i < dirs.size(); ++i) {
    if (i) joined += u';';
    joined += dirs[i];
  }
  return joined;
}

// CreateFileA and CreateFileW once the name is there and the disposition is
// known to be valid.
HANDLE OpenNamed(const std::u16string& name, DWORD access, DWORD share, DWORD disposition,
                 bool ansiLimit) {
  if (name.empty()) {
    SetError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  Resolved r = ResolvePath(name, ansiLimit);
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
  if (existed && disposition == CREATE_NEW) {
    SetError(ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
  }
  if (existed && r.node->isDir) {
    SetError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  if (!existed && (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING)) {
    SetError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  if (!existed && (r.trailingSeparator || r.leaf.empty())) {
    SetError(ERROR_INVALID_NAME);
    return INVALID_HANDLE_VALUE;
  }
  bool truncates =
      existed && (disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING);
  if (existed && (r.node->attributes & FILE_ATTRIBUTE_READONLY) &&
      (WantsWrite(access) || truncates)) {
    SetError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  if (!SharingAllows(existed ? r.node.get() : nullptr, r.key, access, share)) {
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
  obj.file->access = access;
  obj.file->share = share;
  HANDLE h = NewKernelHandle(obj);
  bool reportsExisting =
      existed && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS);
  SetError(reportsExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return h;
}

// What CreateFileA and CreateFileW check before they look at the name.
bool OpenArgumentsValid(const void* name, DWORD disposition) {
  // TRUNCATE_EXISTING is accepted also without write access.
  if (!name || disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING) {
    SetError(ERROR_INVALID_PARAMETER);
    return false;
  }
  return true;
}

DWORD AttributesOf(const std::u16string& name, bool ansiLimit) {
  if (name.empty()) {
    SetError(ERROR_PATH_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
  }
  Resolved r = ResolvePath(name, ansiLimit);
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

// The path SearchPathA or SearchPathW finds, or false with ERROR_FILE_NOT_FOUND.
// A name tried as it stands gets the extension when its last component has
// no dot; a name searched along the path only when it has no dot at all.
bool Search(const std::u16string* path, const std::u16string& name,
            const std::u16string* extension, bool ansiLimit, std::u16string* found) {
  bool explicitName = NameIsExplicit(name);
  bool addExt = extension && !extension->empty() &&
                (explicitName ? !HasExtension(name) : name.find(u'.') == std::u16string::npos);
  std::u16string withExt = addExt ? name + *extension : name;
  found->clear();
  if (explicitName) {
    if (Exists(name, ansiLimit)) {
      *found = name;
    } else if (addExt && Exists(withExt, ansiLimit)) {
      *found = withExt;
    }
  } else {
    std::u16string dirs = (path && !path->empty()) ? *path : DefaultSearchPath();
    size_t start = 0;
    while (start < dirs.size() && found->empty()) {
      size_t end = dirs.find(u';', start);
      if (end == std::u16string::npos) end = dirs.size();
      std::u16string candidate = dirs.substr(start, end - start);
      if (!candidate.empty() && !EndsWithSeparator(candidate)) candidate += u'\\';
      candidate += withExt;
      if (Exists(candidate, ansiLimit)) *found = candidate;
      start = end + 1;
    }
  }
  if (found->empty()) {
    SetError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  return true;
}

BOOL DeleteNamed(const std::u16string& name, bool ansiLimit) {
  Resolved r = ResolvePath(name, ansiLimit);
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
  r.parent->children.erase(FoldWide(r.leaf));
  return TRUE;
}

BOOL CreateDirectoryNamed(const std::u16string& name, bool ansiLimit) {
  Resolved r = ResolvePath(name, ansiLimit);
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
  if (!OpenArgumentsValid(lpFileName, dwCreationDisposition)) return INVALID_HANDLE_VALUE;
  return OpenNamed(AnsiName(lpFileName), dwDesiredAccess, dwShareMode, dwCreationDisposition,
                   true);
}

HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition, DWORD, HANDLE) {
  sim::NoteWideCall("CreateFileW");
  if (FaultHere("CreateFileW")) {
    SetError(ERROR_SHARING_VIOLATION);
    return INVALID_HANDLE_VALUE;
  }
  if (!OpenArgumentsValid(lpFileName, dwCreationDisposition)) return INVALID_HANDLE_VALUE;
  return OpenNamed(lpFileName, dwDesiredAccess, dwShareMode, dwCreationDisposition, false);
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
  if (!lpFileName) {
    SetError(ERROR_INVALID_PARAMETER);
    return INVALID_FILE_ATTRIBUTES;
  }
  return AttributesOf(AnsiName(lpFileName), true);
}

DWORD GetFileAttributesW(LPCWSTR lpFileName) {
  sim::NoteWideCall("GetFileAttributesW");
  if (!lpFileName) {
    SetError(ERROR_INVALID_PARAMETER);
    return INVALID_FILE_ATTRIBUTES;
  }
  return AttributesOf(lpFileName, false);
}

// A text without a full path (empty, or blanks only) gives 0 and leaves the
// last error alone.
DWORD GetFullPathNameA(LPCSTR lpFileName, DWORD nBufferLength, LPSTR lpBuffer, LPSTR* lpFilePart) {
  if (FaultHere("GetFullPathNameA")) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  if (!lpFileName) {
    SetError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::u16string full;
  DWORD error = 0;
  if (!FullPath(AnsiName(lpFileName), &full, &error)) return 0;
  return CopyAnsiResult(full, FilePartOffset(full), nBufferLength, lpBuffer, lpFilePart);
}

DWORD GetFullPathNameW(LPCWSTR lpFileName, DWORD nBufferLength, LPWSTR lpBuffer,
                       LPWSTR* lpFilePart) {
  sim::NoteWideCall("GetFullPathNameW");
  if (FaultHere("GetFullPathNameW")) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  if (!lpFileName) {
    SetError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::u16string full;
  DWORD error = 0;
  if (!FullPath(lpFileName, &full, &error)) return 0;
  return CopyWideResult(full, FilePartOffset(full), nBufferLength, lpBuffer, lpFilePart);
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
  std::u16string path = lpPath ? AnsiName(lpPath) : std::u16string();
  std::u16string extension = lpExtension ? AnsiName(lpExtension) : std::u16string();
  std::u16string found, full;
  DWORD error = 0;
  if (!Search(lpPath ? &path : nullptr, AnsiName(lpFileName), lpExtension ? &extension : nullptr,
              true, &found) ||
      !FullPath(found, &full, &error)) {
    return 0;
  }
  return CopyAnsiResult(full, FilePartOffset(full), nBufferLength, lpBuffer, lpFilePart);
}

DWORD SearchPathW(LPCWSTR lpPath, LPCWSTR lpFileName, LPCWSTR lpExtension, DWORD nBufferLength,
                  LPWSTR lpBuffer, LPWSTR* lpFilePart) {
  sim::NoteWideCall("SearchPathW");
  if (FaultHere("SearchPathW")) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  if (!lpFileName || !*lpFileName) {
    SetError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::u16string path = lpPath ? lpPath : u"";
  std::u16string extension = lpExtension ? lpExtension : u"";
  std::u16string found, full;
  DWORD error = 0;
  if (!Search(lpPath ? &path : nullptr, lpFileName, lpExtension ? &extension : nullptr, false,
              &found) ||
      !FullPath(found, &full, &error)) {
    return 0;
  }
  return CopyWideResult(full, FilePartOffset(full), nBufferLength, lpBuffer, lpFilePart);
}

BOOL DeleteFileA(LPCSTR lpFileName) {
  if (!lpFileName) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return DeleteNamed(AnsiName(lpFileName), true);
}

BOOL DeleteFileW(LPCWSTR lpFileName) {
  sim::NoteWideCall("DeleteFileW");
  if (!lpFileName) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return DeleteNamed(lpFileName, false);
}

BOOL CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES) {
  if (!lpPathName) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return CreateDirectoryNamed(AnsiName(lpPathName), true);
}

BOOL CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES) {
  sim::NoteWideCall("CreateDirectoryW");
  if (!lpPathName) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return CreateDirectoryNamed(lpPathName, false);
}
