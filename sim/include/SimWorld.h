// The simulated desktop as a test sees it.
//
// A test builds one World: its drives, folders and files, the windows of
// other programs, the Windows version, faults to inject. The Win32 functions
// of sim_win32.h then act on that world, as the program under test calls
// them. Afterwards the test reads what happened from the world's
// observations (message boxes, beeps, trace lines, leaked handles...).
//
// Only one world exists at a time; constructing one makes it current.
#ifndef SIM_WORLD_H
#define SIM_WORLD_H

#include <memory>
#include <string>
#include <vector>

#include "sim_win32.h"

namespace sim {

// The process id of the program under test, and of its one thread.
constexpr DWORD kProgramProcessId = 100;
constexpr DWORD kProgramThreadId = 101;
// The instance handle the program gets (its module handle).
#define SIM_PROGRAM_INSTANCE ((HINSTANCE)(ULONG_PTR)0x00400000)

struct MessageBoxRecord {
  HWND owner;
  std::string ownerClass;       // the owner's class name when the box was shown
  std::string caption;          // bytes as passed ("Error" when the caption was NULL)
  std::string text;
  UINT type;
  HWND foreground;              // the foreground window when the box was shown
  bool ownerMadeForeground;     // the program had made the owner the foreground window
};

struct ShowWindowRecord {
  HWND window;
  int command;
};

// Everything the sim knows about one window, as tests see it.
struct WindowRecord {
  HWND hwnd;
  std::string className;
  std::string title;
  DWORD style;
  DWORD exStyle;
  HWND parent;
  HWND owner;
  DWORD processId;
  bool everVisible;
  bool destroyed;
};

class World {
 public:
  // A fresh world: drive C: with C:\WINDOWS and C:\WINDOWS\system32 (and
  // C:\WINDOWS\system), current directory C:\, Windows XP (5.1.2600, NT
  // platform), module path C:\Tavix\Tavix.exe with its directory, code page 932,
  // the icon resource MYICON present. The module file exists (empty).
  World();
  ~World();
  World(const World&) = delete;
  World& operator=(const World&) = delete;

  // --- the process of the program under test ---
  void SetModulePath(const std::string& path);          // also creates the (empty) file and its directory
  const std::string& ModulePath() const;
  void SetCurrentDirectory(const std::string& dir);     // must exist; relative to the current one
  std::string CurrentDirectory() const;
  void SetCommandLine(const std::string& commandLine);  // what GetCommandLineA returns
  void SetOsVersion(DWORD major, DWORD minor, DWORD build, DWORD platformId,
                    const std::string& csdVersion = "");
  void SetWindows98();
  void SetWindowsMe();
  void SetWindowsNt4();
  void SetWindows2000();
  void SetWindowsXp();
  void SetCodePage(UINT codePage);                      // 932 (Shift_JIS) or 1252
  void SetIconResource(const std::string& name, bool present);
  void SetMessageBoxAnswer(int answer);                 // what MessageBoxA returns (IDOK)

  // --- file system ---
  void AddDrive(char letter);
  void AddDirectory(const std::string& path);           // creates parents
  void AddFile(const std::string& path, const std::string& bytes);  // creates parents
  void SetReadOnly(const std::string& path, bool readOnly);
  void Remove(const std::string& path);                 // a file or a whole directory tree
  bool FileExists(const std::string& path) const;       // files only
  bool DirectoryExists(const std::string& path) const;
  std::string FileBytes(const std::string& path) const; // empty when there is no such file
  std::vector<std::string> FilesIn(const std::string& dir) const;  // file names, sorted
  // Another process holds the file open with this access and share mode
  // (share 0 = locked). The hold lasts until ReleaseFileHeldElsewhere.
  void HoldFileOpenElsewhere(const std::string& path, DWORD shareMode,
                             DWORD access = GENERIC_READ | GENERIC_WRITE);
  void ReleaseFileHeldElsewhere(const std::string& path);
  void FailOpen(const std::string& path, DWORD error);  // CreateFileA fails with this error
  void FailGetFileSize(const std::string& path);        // GetFileSize gives INVALID_FILE_SIZE
  void FailRead(const std::string& path);               // ReadFile fails
  void ShortRead(const std::string& path, DWORD bytes); // each ReadFile delivers at most this many bytes
  // The directories SearchPathA tries when it is given no path. Without this
  // call: the module's directory, the current directory, the system directory,
  // (NT family) C:\WINDOWS\system, the Windows directory, then the PATH entries.
  void SetSystemSearchPath(const std::vector<std::string>& dirs);
  void SetPathVariable(const std::vector<std::string>& dirs);

  // --- global memory ---
  void FailGlobalAlloc(int nth);       // 0 = never, 1 = the next GlobalAlloc fails, n = the nth from now
  void FailAllGlobalAlloc(bool on);
  void FailGlobalReAlloc(int nth);     // same counting, for GlobalReAlloc
  void FailGlobalLock(int nth);        // same counting, for GlobalLock
  void SetGlobalAllocLimit(SIZE_T bytes);  // larger requests fail as out of memory (1 GiB)

  // --- windows of other programs ---
  // Another process: its id is returned. Bitness is 32 or 64.
  DWORD AddProcess(const std::string& imagePath, int bitness = 32);
  // A window of another process (of a default one, id 200, when processId is 0).
  // Top-level windows are put at the top of the Z-order; children after their
  // existing siblings.
  HWND AddWindow(const std::string& cls, const std::string& title, bool visible,
                 HWND parent = nullptr, DWORD processId = 0);
  void SetWindowTitle(HWND w, const std::string& title);
  void SetWindowVisible(HWND w, bool visible);
  void RemoveWindow(HWND w);                             // the other program closed it
  void SetForeground(HWND w);

  // --- observations ---
  std::vector<MessageBoxRecord> messageBoxes;
  std::vector<std::string> trace;      // OutputDebugStringA lines
  std::vector<UINT> beeps;
  std::vector<ShowWindowRecord> showWindowCalls;
  int setForegroundCalls = 0;
  HWND lastSetForeground = nullptr;
  bool blockedInMessageLoop = false;

  int OpenFileHandles() const;         // file handles the program left open
  int OpenKernelHandles() const;       // all kernel handles the program left open
  int OutstandingGlobalBlocks() const; // blocks neither freed nor handed to the clipboard
  int OutstandingGdiObjects() const;   // brushes not deleted
  int LiveWindowsOfCurrentProcess() const;
  HWND FindWindowByClass(const std::string& cls) const;  // the program's windows, destroyed ones too
  const std::vector<WindowRecord>& CreatedWindows() const;  // every window the program created
  WindowRecord Window(HWND w) const;   // any window, also another program's

  struct Impl;
  Impl& impl() { return *impl_; }
  const Impl& impl() const { return *impl_; }

 private:
  std::unique_ptr<Impl> impl_;
  mutable std::vector<WindowRecord> createdWindowsCache_;
};

// The current world. Aborts with a clear message when there is none.
World& Current();

}  // namespace sim

#endif  // SIM_WORLD_H
