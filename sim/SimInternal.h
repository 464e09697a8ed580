// State of a simulated world, shared by the sim's implementation files.
// Tests do not include this; they use SimWorld.h.
#ifndef SIM_INTERNAL_H
#define SIM_INTERNAL_H

#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "SimWorld.h"

namespace sim {

// ----- file system -----
struct FsNode {
  bool isDir = false;
  std::string name;  // as created: names keep their case
  DWORD attributes = 0;
  std::string bytes;
  std::map<std::string, std::shared_ptr<FsNode>> children;  // key: FoldName(name)
  FsNode* parent = nullptr;
  bool deleted = false;
};

// A path resolved against the world: the full path, and what it names.
struct Resolved {
  DWORD error = 0;              // 0 when the parent chain exists and the name is valid
  std::string full;             // full path as GetFullPathNameA gives it
  std::string key;              // full path folded for comparisons, without a trailing separator
  std::shared_ptr<FsNode> node; // the named file or directory, or null
  FsNode* parent = nullptr;     // the directory that holds (or would hold) the name
  std::string leaf;             // the last component ("" for a drive root)
  bool trailingSeparator = false;
};

// ----- kernel objects -----
struct OpenFile {
  std::shared_ptr<FsNode> node;
  std::string key;
  DWORD access = 0;
  DWORD share = 0;
  uint64_t position = 0;
};

struct KernelObject {
  enum Kind { kFile, kProcess, kSnapshot, kMapping } kind = kFile;
  std::shared_ptr<OpenFile> file;
  DWORD processId = 0;
};

struct HeldFile {
  DWORD share = 0;
  DWORD access = 0;
};

struct FileFaults {
  DWORD openError = 0;
  bool getFileSize = false;
  bool read = false;
  DWORD shortRead = 0;
  bool hasShortRead = false;
};

// ----- global memory -----
struct GlobalBlock {
  bool moveable = false;
  std::unique_ptr<unsigned char[]> data;  // null for a discarded (zero-size moveable) block
  SIZE_T size = 0;
  int lockCount = 0;
  UINT flags = 0;
  bool ownedBySystem = false;  // handed over to the clipboard
};

// ----- windows -----
// How a window of another process answers messages. The default answers the
// text messages from the window's title; richer controls (a list view) can be
// attached to a window later.
class ControlBehavior {
 public:
  virtual ~ControlBehavior() = default;
  // Returns true when it handled the message and set *result.
  virtual bool Handle(World& world, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                      LRESULT* result) = 0;
};

struct WindowObj {
  WindowRecord rec{};
  WNDPROC proc = nullptr;  // set for windows of the program under test
  HINSTANCE instance = nullptr;
  std::string classKey;
  std::vector<HWND> children;  // in Z-order, top first
  bool destroying = false;
  bool createdByProgram = false;
  std::shared_ptr<ControlBehavior> behavior;
};

struct ClassObj {
  std::string name;
  UINT style = 0;
  WNDPROC proc = nullptr;
  HINSTANCE instance = nullptr;
  HICON icon = nullptr;
  HCURSOR cursor = nullptr;
  HBRUSH background = nullptr;
  ATOM atom = 0;
};

struct ProcessObj {
  DWORD id = 0;
  std::string imagePath;
  int bitness = 32;
};

struct World::Impl {
  // program under test
  std::string modulePath = "C:\\Tavix\\Tavix.exe";
  std::string currentDirectory = "C:\\";
  std::map<char, std::string> driveDirectories;  // last current directory per drive
  std::string commandLine = "\"C:\\Tavix\\Tavix.exe\"";
  std::vector<char> commandLineBuffer;
  DWORD osMajor = 5, osMinor = 1, osBuild = 2600, osPlatform = VER_PLATFORM_WIN32_NT;
  std::string csdVersion = "Service Pack 3";
  std::string windowsDirectory = "C:\\WINDOWS";
  std::string systemDirectory = "C:\\WINDOWS\\system32";
  UINT codePage = 932;
  std::set<std::string> iconResources{"MYICON"};
  int messageBoxAnswer = IDOK;
  DWORD lastError = 0;
  DWORD tickCount = 1000000;

  // file system
  std::map<char, std::shared_ptr<FsNode>> drives;
  std::map<std::string, HeldFile> heldFiles;   // key: folded full path
  std::map<std::string, FileFaults> fileFaults;
  bool systemSearchPathSet = false;
  std::vector<std::string> systemSearchPath;
  std::vector<std::string> pathVariable;

  // kernel handles (files, processes, snapshots, mappings share one table)
  std::map<uintptr_t, KernelObject> handles;
  uintptr_t nextKernelHandle = 0x100;

  // global memory
  std::map<uintptr_t, GlobalBlock> globals;
  uintptr_t nextGlobalHandle = 0x00300004;
  int failGlobalAllocIn = 0;
  bool failAllGlobalAlloc = false;
  int failGlobalReAllocIn = 0;
  int failGlobalLockIn = 0;
  SIZE_T globalAllocLimit = SIZE_T(1) << 30;

  // windows
  std::map<uintptr_t, WindowObj> windows;
  std::vector<HWND> zOrder;  // live top-level windows, front first
  uintptr_t nextWindowHandle = 0x000A0010;
  std::map<std::string, ClassObj> classes;  // key: folded class name
  ATOM nextAtom = 0xC000;
  HWND foreground = nullptr;
  std::deque<MSG> queue;
  bool quitPending = false;
  int quitCode = 0;

  // user and GDI objects
  std::set<uintptr_t> brushes;
  uintptr_t nextGdiHandle = 0x05100010;
  uintptr_t nextUserObject = 0x00010020;
  std::map<std::string, uintptr_t> icons;  // loaded icon and cursor handles by name

  // other processes
  std::map<DWORD, ProcessObj> processes;
  DWORD nextProcessId = 200;
  DWORD defaultOtherProcess = 0;
};

// ----- helpers shared between the sim's files -----
World::Impl& State();  // the current world's state (aborts without a world)
void SetError(DWORD error);

// Code page
bool IsLead(unsigned char c);  // a lead byte of the world's ANSI code page
// Length in bytes of the character that starts at s (0 at the end of the text).
size_t CharLen(const char* s);
// ASCII letters folded to lower case; two-byte characters are left alone.
std::string FoldName(const std::string& s);

// File system (FileSystem.cpp)
// The ANSI file functions refuse names of MAX_PATH characters or more; the
// world's own set-up calls pass ansiLimit = false to build deeper trees.
Resolved ResolvePath(const std::string& path, bool ansiLimit = true);
// Full-path computation of GetFullPathNameA; false with *error set for a text
// that has no full path.
bool FullPath(const std::string& path, std::string* full, DWORD* error);
std::shared_ptr<FsNode> MakeDirectories(const std::string& path);  // returns the last one
// A new empty file or directory named name inside parent (which must not hold it yet).
std::shared_ptr<FsNode> AddChildNode(FsNode* parent, const std::string& name, bool isDir);
void SplitComponents(const std::string& path, std::vector<std::string>* parts);

// Windows (Windows.cpp)
WindowObj* FindWindowObj(HWND hwnd);  // live windows only
bool IsProgramWindow(const WindowObj& w);
LRESULT CallWindowProcedure(WindowObj& w, UINT msg, WPARAM wParam, LPARAM lParam);
// Puts a top-level window at the top of its band of the Z-order (topmost
// windows stay above the others).
void LinkTopLevel(HWND hwnd, bool topmost);
// Copies a window text into a buffer of max bytes: whole characters only,
// always terminated; returns the number of bytes copied.
int CopyWindowText(const std::string& text, char* buffer, int max);

// Processes (World.cpp)
ProcessObj* FindProcess(DWORD id);

}  // namespace sim

#endif  // SIM_INTERNAL_H
