// The world object: construction of a fresh desktop, the test-facing set-up
// calls and the observations tests read back.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "SimInternal.h"

namespace sim {

namespace {

World* g_current = nullptr;

HWND HandleOf(uintptr_t v) { return reinterpret_cast<HWND>(v); }

}  // namespace

World& Current() {
  if (!g_current) {
    std::fprintf(stderr,
                 "sim: a Win32 function was called while no sim::World exists; "
                 "create a sim::World in the test first\n");
    std::abort();
  }
  return *g_current;
}

World::Impl& State() { return Current().impl(); }

void SetError(DWORD error) { State().lastError = error; }

ProcessObj* FindProcess(DWORD id) {
  auto& procs = State().processes;
  auto it = procs.find(id);
  return it == procs.end() ? nullptr : &it->second;
}

World::World() : impl_(new Impl) {
  if (g_current) {
    std::fprintf(stderr, "sim: a second sim::World was created while one still exists\n");
    std::abort();
  }
  g_current = this;
  ProcessObj self;
  self.id = kProgramProcessId;
  self.imagePath = impl_->modulePath;
  impl_->processes[self.id] = self;
  AddDrive('C');
  AddDirectory(u"C:\\WINDOWS\\system32");
  AddDirectory(u"C:\\WINDOWS\\system");
  AddFile(impl_->modulePath, "");
  InstallDefaultSpecialFolders(*this);
}

World::~World() {
  // A thread left waiting in a hung call runs on into the program's code when
  // released, so it ends before anything it may touch goes.
  JoinThreads();
  g_current = nullptr;
}

// --- program under test ---

void World::SetModulePath(const Text& path) {
  impl_->modulePath = path.Wide();
  impl_->processes[kProgramProcessId].imagePath = impl_->modulePath;
  impl_->commandLine = u"\"" + impl_->modulePath + u"\"";
  AddFile(impl_->modulePath, "");  // the executable itself, in its directory
}

std::string World::ModulePath() const { return Ansi(impl_->modulePath); }

void World::SetCurrentDirectory(const Text& dir) {
  std::u16string wide = dir.Wide();
  SimOwnCalls own;   // a set-up call, not the program's
  if (!SetCurrentDirectoryW(wide.c_str())) {
    std::fprintf(stderr, "sim: SetCurrentDirectory: no directory %s\n", Utf8(wide).c_str());
    std::abort();
  }
}

std::string World::CurrentDirectory() const { return Ansi(impl_->currentDirectory); }

void World::SetCommandLine(const Text& commandLine) { impl_->commandLine = commandLine.Wide(); }

void World::SetOsVersion(DWORD major, DWORD minor, DWORD build, DWORD platformId,
                         const std::string& csdVersion) {
  impl_->osMajor = major;
  impl_->osMinor = minor;
  impl_->osBuild = build;
  impl_->osPlatform = platformId;
  impl_->csdVersion = csdVersion;
  if (platformId == VER_PLATFORM_WIN32_WINDOWS) {
    impl_->systemDirectory = impl_->windowsDirectory + u"\\SYSTEM";
  } else {
    impl_->systemDirectory = impl_->windowsDirectory + u"\\system32";
  }
  AddDirectory(impl_->systemDirectory);
}

void World::SetWindows98() { SetOsVersion(4, 10, 2222, VER_PLATFORM_WIN32_WINDOWS, " A "); }
void World::SetWindowsMe() { SetOsVersion(4, 90, 3000, VER_PLATFORM_WIN32_WINDOWS, " "); }
void World::SetWindowsNt4() { SetOsVersion(4, 0, 1381, VER_PLATFORM_WIN32_NT, "Service Pack 6"); }
void World::SetWindows2000() { SetOsVersion(5, 0, 2195, VER_PLATFORM_WIN32_NT, "Service Pack 4"); }
void World::SetWindowsXp() { SetOsVersion(5, 1, 2600, VER_PLATFORM_WIN32_NT, "Service Pack 3"); }

void World::SetCodePage(UINT codePage) { impl_->codePage = codePage; }

void World::SetIconResource(const std::string& name, bool present) {
  std::string upper = name;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (present) {
    impl_->iconResources.insert(upper);
  } else {
    impl_->iconResources.erase(upper);
  }
}

void World::SetMessageBoxAnswer(int answer) { impl_->messageBoxAnswer = answer; }

// --- file system ---

void World::AddDrive(char letter) {
  if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
  MakeDirectories(std::u16string(1, static_cast<char16_t>(letter)) + u":\\");
}

void World::AddDirectory(const Text& path) {
  std::u16string wide = path.Wide();
  if (!MakeDirectories(wide)) {
    std::fprintf(stderr, "sim: AddDirectory: cannot create %s\n", Utf8(wide).c_str());
    std::abort();
  }
}

void World::AddFile(const Text& path, const std::string& bytes) {
  std::u16string wide = path.Wide();
  size_t slash = wide.find_last_of(u"\\/");
  if (slash != std::u16string::npos) AddDirectory(wide.substr(0, slash + 1));
  Resolved r = ResolvePath(wide, false);
  if (r.error || !r.parent || r.leaf.empty() || (r.node && r.node->isDir)) {
    std::fprintf(stderr, "sim: AddFile: cannot create %s\n", Utf8(wide).c_str());
    std::abort();
  }
  if (!r.node) r.node = AddChildNode(r.parent, r.leaf, false);
  r.node->bytes = bytes;
}

void World::SetReadOnly(const Text& path, bool readOnly) {
  Resolved r = ResolvePath(path.Wide(), false);
  if (!r.node) return;
  if (readOnly) {
    r.node->attributes |= FILE_ATTRIBUTE_READONLY;
  } else {
    r.node->attributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
  }
}

void World::Remove(const Text& path) {
  Resolved r = ResolvePath(path.Wide(), false);
  if (!r.node || !r.parent) return;
  r.node->deleted = true;
  r.parent->children.erase(FoldWide(r.leaf));
}

bool World::FileExists(const Text& path) const {
  Resolved r = ResolvePath(path.Wide(), false);
  return r.node && !r.node->isDir;
}

bool World::DirectoryExists(const Text& path) const {
  Resolved r = ResolvePath(path.Wide(), false);
  return r.node && r.node->isDir;
}

std::string World::FileBytes(const Text& path) const {
  Resolved r = ResolvePath(path.Wide(), false);
  return (r.node && !r.node->isDir) ? r.node->bytes : std::string();
}

std::vector<std::u16string> World::FileNamesIn(const Text& dir) const {
  std::vector<std::u16string> names;
  Resolved r = ResolvePath(dir.Wide(), false);
  if (!r.node || !r.node->isDir) return names;
  for (const auto& child : r.node->children) {
    if (!child.second->isDir) names.push_back(child.second->name);
  }
  return names;  // the map is ordered by folded name
}

std::vector<std::string> World::FilesIn(const Text& dir) const {
  std::vector<std::string> names;
  for (const std::u16string& name : FileNamesIn(dir)) names.push_back(Ansi(name));
  return names;
}

void World::HoldFileOpenElsewhere(const Text& path, DWORD shareMode, DWORD access) {
  Resolved r = ResolvePath(path.Wide(), false);
  impl_->heldFiles[r.key] = HeldFile{shareMode, access};
}

void World::ReleaseFileHeldElsewhere(const Text& path) {
  impl_->heldFiles.erase(ResolvePath(path.Wide(), false).key);
}

void World::FailOpen(const Text& path, DWORD error) {
  impl_->fileFaults[ResolvePath(path.Wide(), false).key].openError = error;
}

void World::FailGetFileSize(const Text& path) {
  impl_->fileFaults[ResolvePath(path.Wide(), false).key].getFileSize = true;
}

void World::FailRead(const Text& path) {
  impl_->fileFaults[ResolvePath(path.Wide(), false).key].read = true;
}

void World::ShortRead(const Text& path, DWORD bytes) {
  FileFaults& f = impl_->fileFaults[ResolvePath(path.Wide(), false).key];
  f.hasShortRead = true;
  f.shortRead = bytes;
}

void World::SetSystemSearchPath(const std::vector<Text>& dirs) {
  impl_->systemSearchPathSet = true;
  impl_->systemSearchPath.clear();
  for (const Text& dir : dirs) impl_->systemSearchPath.push_back(dir.Wide());
}

void World::SetPathVariable(const std::vector<Text>& dirs) {
  impl_->pathVariable.clear();
  for (const Text& dir : dirs) impl_->pathVariable.push_back(dir.Wide());
}

// --- global memory ---

void World::FailGlobalAlloc(int nth) { impl_->failGlobalAllocIn = nth; }
void World::FailAllGlobalAlloc(bool on) { impl_->failAllGlobalAlloc = on; }
void World::FailGlobalReAlloc(int nth) { impl_->failGlobalReAllocIn = nth; }
void World::FailGlobalLock(int nth) { impl_->failGlobalLockIn = nth; }
void World::SetGlobalAllocLimit(SIZE_T bytes) { impl_->globalAllocLimit = bytes; }
bool World::GlobalFaultPending() const {
  return impl_->failGlobalAllocIn > 0 || impl_->failGlobalReAllocIn > 0 ||
         impl_->failGlobalLockIn > 0;
}

// --- other programs' windows (their processes: Processes.cpp) ---

HWND World::AddWindow(const Text& cls, const Text& title, bool visible, HWND parent,
                      DWORD processId) {
  if (processId == 0) {
    if (!impl_->defaultOtherProcess) {
      impl_->defaultOtherProcess = AddProcess("C:\\Program Files\\Other\\Other.exe");
    }
    processId = impl_->defaultOtherProcess;
  }
  if (parent && !FindWindowObj(parent)) {
    std::fprintf(stderr, "sim: AddWindow: the parent window does not exist\n");
    std::abort();
  }
  uintptr_t value = impl_->nextWindowHandle;
  impl_->nextWindowHandle += 0x12;
  WindowObj w;
  w.rec.hwnd = HandleOf(value);
  w.rec.classNameWide = cls.Wide();
  w.rec.titleWide = title.Wide();
  w.rec.style = (visible ? WS_VISIBLE : 0) | (parent ? WS_CHILD : WS_OVERLAPPEDWINDOW);
  w.rec.exStyle = 0;
  w.rec.parent = parent;
  w.rec.owner = nullptr;
  w.rec.processId = processId;
  w.rec.everVisible = visible;
  w.rec.destroyed = false;
  w.classKey = FoldWide(w.rec.classNameWide);
  impl_->windows[value] = w;
  if (parent) {
    FindWindowObj(parent)->children.push_back(w.rec.hwnd);
  } else {
    LinkTopLevel(w.rec.hwnd, false);
  }
  return w.rec.hwnd;
}

void World::SetWindowTitle(HWND w, const Text& title) {
  if (WindowObj* obj = FindWindowObj(w)) obj->rec.titleWide = title.Wide();
}

void World::SetWindowVisible(HWND w, bool visible) {
  WindowObj* obj = FindWindowObj(w);
  if (!obj) return;
  if (visible) {
    obj->rec.style |= WS_VISIBLE;
    obj->rec.everVisible = true;
  } else {
    obj->rec.style &= ~static_cast<DWORD>(WS_VISIBLE);
  }
}

void World::RemoveWindow(HWND w) {
  WindowObj* obj = FindWindowObj(w);
  if (!obj) return;
  std::vector<HWND> children = obj->children;
  for (HWND c : children) RemoveWindow(c);
  obj = FindWindowObj(w);
  obj->rec.destroyed = true;
  obj->rec.style &= ~static_cast<DWORD>(WS_VISIBLE);
  if (WindowObj* parent = FindWindowObj(obj->rec.parent)) {
    auto& sib = parent->children;
    sib.erase(std::remove(sib.begin(), sib.end(), w), sib.end());
  }
  auto& z = impl_->zOrder;
  z.erase(std::remove(z.begin(), z.end(), w), z.end());
  if (impl_->foreground == w) impl_->foreground = nullptr;
}

void World::SetForeground(HWND w) { impl_->foreground = w; }

// --- observations ---

int World::OpenFileHandles() const {
  int n = 0;
  for (const auto& h : impl_->handles) n += (h.second.kind == KernelObject::kFile);
  return n;
}

int World::OpenKernelHandles() const { return static_cast<int>(impl_->handles.size()); }

int World::OutstandingGlobalBlocks() const {
  int n = 0;
  for (const auto& g : impl_->globals) n += !g.second.ownedBySystem;
  return n;
}

// A class background brush belongs to the class: the system deletes it with
// the class, so it is no leak of the program.
int World::OutstandingGdiObjects() const {
  int n = 0;
  for (uintptr_t brush : impl_->brushes) {
    bool ofClass = false;
    for (const auto& c : impl_->classes) {
      ofClass = ofClass || reinterpret_cast<uintptr_t>(c.second.background) == brush;
    }
    n += !ofClass;
  }
  return n;
}

int World::LiveWindowsOfCurrentProcess() const {
  int n = 0;
  for (const auto& w : impl_->windows) {
    n += (w.second.rec.processId == kProgramProcessId && !w.second.rec.destroyed);
  }
  return n;
}

const std::vector<WindowRecord>& World::CreatedWindows() const {
  createdWindowsCache_.clear();
  for (const auto& w : impl_->windows) {
    if (w.second.createdByProgram) createdWindowsCache_.push_back(Observed(w.second));
  }
  return createdWindowsCache_;
}

HWND World::FindWindowByClass(const Text& cls) const {
  std::u16string key = FoldWide(cls.Wide());
  for (const auto& w : impl_->windows) {
    if (w.second.createdByProgram && w.second.classKey == key) return w.second.rec.hwnd;
  }
  return nullptr;
}

WindowRecord World::Window(HWND w) const {
  auto it = impl_->windows.find(reinterpret_cast<uintptr_t>(w));
  if (it == impl_->windows.end()) return WindowRecord{};
  return Observed(it->second);
}

}  // namespace sim
