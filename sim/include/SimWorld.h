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

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "sim_win32.h"

namespace sim {

// A text that a test hands to the world. A narrow text (a "..." literal or std::string) is
// ANSI bytes in the world's code page, Shift_JIS by default, as the program's own texts are
// written; a u"..." literal or std::u16string is UTF-16, for names that no code page holds.
// The world keeps every text in UTF-16: ANSI bytes are converted as MultiByteToWideChar with
// CP_ACP converts them, at the time the world takes the text.
class Text {
 public:
  Text() = default;
  Text(const char* ansi) : ansi_(true), bytes_(ansi ? ansi : "") {}
  Text(const std::string& ansi) : ansi_(true), bytes_(ansi) {}
  Text(const char16_t* wide) : wide_(wide ? wide : u"") {}
  Text(const std::u16string& wide) : wide_(wide) {}
  std::u16string Wide() const;
  bool empty() const { return ansi_ ? bytes_.empty() : wide_.empty(); }

 private:
  bool ansi_ = false;
  std::string bytes_;
  std::u16string wide_;
};

// Conversions for tests. Utf16/Utf8: between UTF-8 and UTF-16 (unpaired surrogates become
// U+FFFD). Ansi: UTF-16 to the world's code page as WideCharToMultiByte with
// WC_NO_BEST_FIT_CHARS gives it: '?' for each character the code page lacks. Widen: ANSI bytes
// of the world's code page to UTF-16.
std::u16string Utf16(const std::string& utf8);
std::string Utf8(const std::u16string& utf16);
std::string Ansi(const std::u16string& utf16);
std::u16string Widen(const std::string& ansi);

// The process id of the program under test, and of its one thread.
constexpr DWORD kProgramProcessId = 100;
constexpr DWORD kProgramThreadId = 101;
// The instance handle the program gets (its module handle).
#define SIM_PROGRAM_INSTANCE ((HINSTANCE)(ULONG_PTR)0x00400000)

struct MessageBoxRecord {
  HWND owner;
  std::string ownerClass;       // the owner's class name when the box was shown
  std::string caption;          // bytes as passed ("Error" when the caption was NULL)
  std::string text;             // (MessageBoxW: the texts in the world's code page)
  bool wide = false;            // shown with MessageBoxW
  UINT type;
  HWND foreground;              // the foreground window when the box was shown
  bool ownerMadeForeground;     // the program had made the owner the foreground window
};

struct ShowWindowRecord {
  HWND window;
  int command;
};

// One ShellExecuteA or ShellExecuteW call, with every argument (a null pointer
// is told apart from the empty text). The narrow texts are what the started
// program sees through GetCommandLineA: the ANSI texts as passed, or the wide
// ones in the world's code page (best-fit, as Windows converts them); the
// wide texts are what it sees through GetCommandLineW.
struct ShellLaunchRecord {
  HWND owner;
  bool wide = false;            // ShellExecuteW
  bool verbNull;
  std::string verb;
  bool fileNull;
  std::string file;
  bool parametersNull;
  std::string parameters;
  bool directoryNull;
  std::string directory;
  int show;
  std::u16string fileWide;
  std::u16string parametersWide;
  std::u16string directoryWide;
};

// The CF_TEXT content of the clipboard: the block handed over, as it is now.
struct ClipboardTextRecord {
  bool present = false;
  std::string bytes;        // the whole block
  SIZE_T blockSize = 0;
  UINT allocFlags = 0;      // the flags the block was allocated with
  int lockCountWhenSet = 0; // the block's lock count when SetClipboardData took it
  bool setByProgram = false;
  std::string Text() const; // the bytes up to the first zero
  // CF_UNICODETEXT: the characters up to the first zero character.
  std::u16string WideText() const;
};

// Everything the sim knows about one window, as tests see it.
// className and title are the world's UTF-16 texts in its code page ('?' for
// characters it lacks); classNameWide and titleWide are the texts themselves.
struct WindowRecord {
  HWND hwnd;
  std::string className;
  std::string title;
  std::u16string classNameWide;
  std::u16string titleWide;
  DWORD style;
  DWORD exStyle;
  HWND parent;
  HWND owner;
  DWORD processId;
  bool everVisible;
  bool destroyed;
};

// A list-view control of another process, as the test configures it. Items
// 0 .. texts.size()-1 have the texts given; items beyond (up to the item
// count) have the text textOf(index) when textOf is set, else "item<index>".
// The list view answers LVM_GETITEMCOUNT, LVM_GETNEXTITEM, LVM_GETITEMW and
// LVM_GETITEMA as the common control does, reading and writing the item
// record in the layout of its own process's bitness (32-bit: 40 bytes,
// pszText at 20; 64-bit: the native record, pszText at 24) in its own
// process's memory, or, on Windows 98/ME, in a paging-file mapping (seen at
// the same address by every process). Its texts are UTF-16; LVM_GETITEMA
// gives them in the ANSI code page with best-fit, as the common control does.
struct ListViewControl {
  std::vector<Text> texts;
  std::set<int> selected;                     // selected item indices
  long long itemCount = -1;                   // LVM_GETITEMCOUNT; -1: texts.size()
  std::function<Text(int)> textOf;            // texts of items beyond `texts`
  std::set<int> refused;                      // LVM_GETITEMA answers FALSE for these
  bool unterminatedTexts = false;             // texts fill the whole text area, no zero
  // Replaces the LVM_GETNEXTITEM answer: (start, flags) -> index. Unset: the
  // next item after start (-1: from the first) that matches the flags, or -1.
  std::function<int(int, UINT)> nextItem;
  // After this many messages to the list view the owning process ends (its
  // windows go, its memory is released) before the next message is answered.
  // -1: never.
  int endProcessAfterMessages = -1;
  // After this many messages the owning process stops answering (as SetHung):
  // messages handed over before are still pending. -1: never.
  int hangAfterMessages = -1;
  // Called before each message is answered, with the number received so far:
  // lets a test change the items or the selection in the middle of a read.
  std::function<void(ListViewControl&, size_t received)> beforeEachMessage;
  // Observations: every message received, in order (msg, wParam, lParam).
  struct Received { UINT msg; WPARAM wParam; LPARAM lParam; };
  std::vector<Received> received;
};

// Counters of what the program asked of other processes, for tests and
// benchmarks. Messages count SendMessageA/W, SendMessageTimeoutA/W and
// SendNotifyMessageW calls to windows of other processes.
struct CrossProcessCounters {
  std::map<UINT, long> messages;  // by message number
  long allocations = 0;           // VirtualAllocEx calls that succeeded
  long releases = 0;              // VirtualFreeEx calls that succeeded
  long writes = 0;                // WriteProcessMemory calls
  long reads = 0;                 // ReadProcessMemory calls
  long notifies = 0;              // SendNotifyMessageW calls, also counted in messages
  long Messages() const {
    long n = 0;
    for (const auto& m : messages) n += m.second;
    return n;
  }
  // Messages plus memory reads and writes: the round trips to other processes.
  long RoundTrips() const { return Messages() + writes + reads; }
  // The round trips the program waits for: SendNotifyMessageW does not wait.
  long Waits() const { return RoundTrips() - notifies; }
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
  void SetModulePath(const Text& path);          // also creates the (empty) file and its directory
  std::string ModulePath() const;               // in the world's code page
  void SetCurrentDirectory(const Text& dir);     // must exist; relative to the current one
  std::string CurrentDirectory() const;
  void SetCommandLine(const Text& commandLine);  // what GetCommandLineW (and, converted, GetCommandLineA) returns
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
  void AddDirectory(const Text& path);           // creates parents
  void AddFile(const Text& path, const std::string& bytes);  // creates parents
  void SetReadOnly(const Text& path, bool readOnly);
  void Remove(const Text& path);                 // a file or a whole directory tree
  bool FileExists(const Text& path) const;       // files only
  bool DirectoryExists(const Text& path) const;
  std::string FileBytes(const Text& path) const; // empty when there is no such file
  std::vector<std::string> FilesIn(const Text& dir) const;  // file names, sorted (code page, '?')
  std::vector<std::u16string> FileNamesIn(const Text& dir) const;  // the same in UTF-16
  // Another process holds the file open with this access and share mode
  // (share 0 = locked). The hold lasts until ReleaseFileHeldElsewhere.
  void HoldFileOpenElsewhere(const Text& path, DWORD shareMode,
                             DWORD access = GENERIC_READ | GENERIC_WRITE);
  void ReleaseFileHeldElsewhere(const Text& path);
  void FailOpen(const Text& path, DWORD error);  // CreateFileA fails with this error
  void FailGetFileSize(const Text& path);        // GetFileSize gives INVALID_FILE_SIZE
  void FailRead(const Text& path);               // ReadFile fails
  void ShortRead(const Text& path, DWORD bytes); // each ReadFile delivers at most this many bytes
  // The directories SearchPathA tries when it is given no path. Without this
  // call: the module's directory, the current directory, the system directory,
  // (NT family) C:\WINDOWS\system, the Windows directory, then the PATH entries.
  void SetSystemSearchPath(const std::vector<Text>& dirs);
  void SetPathVariable(const std::vector<Text>& dirs);

  // --- global memory ---
  void FailGlobalAlloc(int nth);       // 0 = never, 1 = the next GlobalAlloc fails, n = the nth from now
  void FailAllGlobalAlloc(bool on);
  void FailGlobalReAlloc(int nth);     // same counting, for GlobalReAlloc
  void FailGlobalLock(int nth);        // same counting, for GlobalLock
  void SetGlobalAllocLimit(SIZE_T bytes);  // larger requests fail as out of memory (1 GiB)
  // True while a failure set with FailGlobalAlloc/ReAlloc/Lock has not been reached: the run
  // made fewer such calls than the count.
  bool GlobalFaultPending() const;

  // --- fallible calls ---
  // Every function of the sim that can fail on Windows passes a fault point
  // when the program calls it (Faults.cpp lists them). The world numbers these
  // calls from 1, from its construction or from the last CountFallibleCalls,
  // and can make one of them, or every one from some call on, fail as Windows
  // fails it: the function's failure result and last error, and no effect.
  // The calls the sim makes of its own functions do not count, nor do those
  // of the test's beforeWindowCall hook. The specific knobs (FailGlobalAlloc,
  // FailOpen, ...) work beside these and are not counted by them.
  void CountFallibleCalls();               // numbering starts again; the record is cleared
  long FallibleCalls() const;              // fault points passed since
  // The function of each call, in order ("CreateFileA", ...); a call made to
  // fail is followed by " failed".
  const std::vector<std::string>& FallibleCallRecord() const;
  void FailFallibleCall(long k);           // only the k-th fails; 0: none
  void FailFallibleCallsFrom(long k);      // the k-th and every later one fail; 0: none

  // --- other processes ---
  // Another process: its id is returned. Bitness is 32 or 64. When the image
  // file does not exist it is created, holding a minimal PE header whose
  // machine field says the bitness (I386 or AMD64).
  DWORD AddProcess(const Text& imagePath, int bitness = 32);
  // OpenProcess fails with ERROR_ACCESS_DENIED for this process when the
  // requested access holds any of these rights (default: every request).
  void RefuseOpenProcess(DWORD processId, DWORD refusedRights = 0xFFFFFFFF);
  // The process exits now: its windows are destroyed, its memory released;
  // handles to it stay valid, but memory operations on them fail.
  void EndProcess(DWORD processId);
  // The bitness of the program under test as the system sees it (default 64,
  // the native build). At 32, EnumProcessModules fails on 64-bit processes
  // (ERROR_PARTIAL_COPY), as it does under WOW64.
  void SetProgramBitness(int bitness);
  // Memory blocks still allocated by VirtualAllocEx in a process.
  int RemoteBlocks(DWORD processId) const;
  // The bytes at an address of another process's memory (empty when the
  // range is not allocated there).
  std::string RemoteBytes(DWORD processId, ULONG_PTR address, size_t size) const;

  // --- libraries and their exports ---
  // What exists by default follows the Windows version: kernel32 exports
  // VirtualAllocEx/VirtualFreeEx on the NT family only; the Tool Help
  // functions on 98/ME and on NT 5.0 and later; QueryFullProcessImageNameA
  // on 6.0 and later; IsWow64Process and the WOW64 file-system redirection
  // switches on 5.1 and later. PSAPI.DLL loads on the NT family only.
  void RemoveExport(const std::string& module, const std::string& function);
  void AddExport(const std::string& module, const std::string& function);
  void RemoveLibrary(const std::string& module);  // LoadLibraryA fails for it
  int LoadedLibraries() const;   // LoadLibraryA calls not yet matched by FreeLibrary

  // --- paging-file mappings ---
  void FailCreateFileMapping(bool on);
  void FailMapViewOfFile(bool on);
  int MappedViews() const;       // views not yet unmapped

  // --- shell folders ---
  // The path SHGetSpecialFolderPathA gives for a CSIDL value; an empty path
  // makes the call fail. By default the XP folders below C:\Documents and
  // Settings\user (and All Users) are given, and exist.
  void SetSpecialFolder(int csidl, const Text& path);

  // --- windows of other programs ---
  // A window of another process (of a default one, id 200, when processId is 0).
  // Top-level windows are put at the top of the Z-order; children after their
  // existing siblings.
  HWND AddWindow(const Text& cls, const Text& title, bool visible,
                 HWND parent = nullptr, DWORD processId = 0);
  void SetWindowTitle(HWND w, const Text& title);
  void SetWindowVisible(HWND w, bool visible);
  void RemoveWindow(HWND w);                             // the other program closed it
  void SetForeground(HWND w);
  // Makes a window of another program a list view; the returned control stays
  // valid for the life of the world.
  ListViewControl& MakeListView(HWND w);
  // WM_GETTEXT to this window fills the whole buffer with the text (repeated
  // as needed) and no terminating zero.
  void SetUnterminatedText(HWND w, bool on);
  // The thread of this process stops answering messages. SendMessageTimeoutA
  // then waits its full time-out (the clock advances by it) and fails with
  // ERROR_TIMEOUT; with SMTO_ABORTIFHUNG it fails at once when the process is
  // known as hung (abortAtOnce). SendMessageA to such a window would wait for
  // ever: it returns 0 and sets blockedOnHungWindow.
  void SetHung(DWORD processId, bool hung, bool abortAtOnce = false);
  // Every message to this process's windows takes this long (the clock
  // advances); one longer than a time-out times out.
  void SetMessageDelay(DWORD processId, DWORD milliseconds);
  // A debugger attached to the program (IsDebuggerPresent), and a debug viewer
  // waiting for its lines (the event "DBWIN_BUFFER_READY" exists).
  void SetDebuggerAttached(bool attached);
  void SetDebugViewerListening(bool listening);
  // Called at the start of the window functions that take a window
  // (GetWindowTextA/W, GetClassNameA/W, IsWindowVisible, GetWindowThreadProcessId,
  // SendMessageA/W, SendMessageTimeoutA/W, SendNotifyMessageW, FindWindowExA/W, and before each window
  // reported by EnumWindows and EnumChildWindows), with the function's name:
  // lets a test remove a window or end a process at an exact point.
  std::function<void(const char* function, HWND window)> beforeWindowCall;

  // --- clipboard ---
  // Text another program put on the clipboard earlier (CF_TEXT).
  void SetClipboardText(const std::string& text);
  // Text another program put on the clipboard earlier as CF_UNICODETEXT.
  void SetClipboardUnicodeText(const std::u16string& text);
  // Another process holds the clipboard open: OpenClipboard fails.
  void HoldClipboardElsewhere(bool held);
  void FailEmptyClipboard(bool on);
  void FailSetClipboardData(bool on);
  ClipboardTextRecord ClipboardText() const;          // CF_TEXT
  ClipboardTextRecord ClipboardUnicodeText() const;   // CF_UNICODETEXT (bytes: UTF-16LE)
  // The formats on the clipboard, in the order they were set.
  std::vector<UINT> ClipboardFormats() const;
  bool ClipboardLeftOpen() const;      // the program opened it and did not close it

  // --- shell ---
  // ShellExecuteA and W answer with this value (an error is 32 or below) instead
  // of deciding from the file system; 0 = decide.
  void SetShellExecuteResult(int result);

  // --- the shell's window list (COM, OLE32.DLL) ---
  // One browser of the shell's window list (CLSID_ShellWindows), in list
  // order. Its IWebBrowserApp::get_HWND gives frame; IShellBrowser::GetWindow
  // gives tab (the frame itself when tab is null); its active view's folder is
  // folder and its selected items are selection, in the view's order. Paths
  // are UTF-8 and served as UTF-16 (so names outside the ANSI code page can be
  // served); an empty path stands for an item without a file-system path
  // (This PC, the Recycle Bin, a file inside a zip folder). An entry that is no
  // web browser (webBrowser false) refuses IWebBrowserApp, as the desktop does.
  // The view hands out its folder and selection as shell items (IShellItem,
  // IShellItemArray; from Windows Vista on, unless shellItems is false) and as
  // item ID lists (IPersistFolder2, IEnumIDList; SHGetPathFromIDListW reads
  // them).
  struct ShellBrowser {
    HWND frame = nullptr;
    HWND tab = nullptr;
    std::string folder;
    std::vector<std::string> selection;
    bool webBrowser = true;
    bool shellItems = true;
  };
  void AddShellBrowser(const ShellBrowser& browser);
  void RemoveShellWindowList();   // CoCreateInstance(CLSID_ShellWindows) fails: class not registered
  // The named call ("IShellWindows::Item", "IShellBrowser::QueryActiveShellView",
  // ...) never answers: the thread that makes it waits until the world ends.
  void HangShellCall(const std::string& method);
  // The named call fails with this result.
  void FailShellCall(const std::string& method, HRESULT result);
  int LiveShellObjects() const;         // fake shell objects the program still references
  int OutstandingTaskMemory() const;    // CoTaskMemAlloc blocks not freed with CoTaskMemFree
  int OpenApartments() const;           // threads whose CoInitializeEx was not undone
  const std::vector<std::string>& ShellCalls() const;  // the fake shell's methods called, in order
  int ThreadsStarted() const;
  int HungThreads() const;              // threads waiting in a call that does not answer

  // --- observations ---
  // The calls that make the output, in order: "ShowWindow 9", "OpenClipboard",
  // "EmptyClipboard", "MessageBeep 64", "SetClipboardData 1",
  // "CloseClipboard", "ShellExecuteA" or "ShellExecuteW" (with the number of the call's command
  // or format; failed calls end in " failed").
  std::vector<std::string> outputCalls;
  std::vector<ShellLaunchRecord> launches;
  int clipboardWrites = 0;             // SetClipboardData calls that took a block
  int clipboardBlocksFreedByProgram = 0;  // GlobalFree of a block the clipboard owns
  std::vector<MessageBoxRecord> messageBoxes;
  // The trace: OutputDebugStringA and OutputDebugStringW lines. trace holds
  // them in the world's code page ('?' for characters it lacks), traceWide in
  // UTF-16 (ANSI lines converted).
  std::vector<std::string> trace;
  std::vector<std::u16string> traceWide;
  std::vector<UINT> beeps;
  std::vector<ShowWindowRecord> showWindowCalls;
  int setForegroundCalls = 0;
  HWND lastSetForeground = nullptr;
  bool blockedInMessageLoop = false;
  bool blockedOnHungWindow = false;    // SendMessageA to a window that does not answer
  CrossProcessCounters counters;
  // A message that timed out may still be handled later and write into the
  // memory its lParam points at; this counts such blocks that the program
  // released afterwards (VirtualFreeEx or UnmapViewOfFile).
  int lateWritesIntoReleasedMemory = 0;
  // Wow64DisableWow64FsRedirection and Wow64RevertWow64FsRedirection calls
  // that succeeded: a program reverts each disable it made.
  int wow64RedirectionDisables = 0;
  int wow64RedirectionReverts = 0;
  int unmatchedFreeLibraryCalls = 0;   // FreeLibrary of a library with no load outstanding
  // Calls through a PSAPI function pointer after the library was freed again
  // (a crash on Windows); the sim fails them with ERROR_MOD_NOT_FOUND.
  int callsIntoFreedLibraries = 0;
  // W functions the program called on Windows 95, 98 or ME, where they are
  // stubs that do nothing (the conversions and lstrlenW/wsprintfW work there
  // and are not listed). The sim still answers them, so that a run goes on;
  // a program for those systems must not call them at all.
  std::vector<std::string> wideCallsOnWindows9x;

  int OpenFileHandles() const;         // file handles the program left open
  int OpenKernelHandles() const;       // all kernel handles the program left open
  int OutstandingGlobalBlocks() const; // blocks neither freed nor handed to the clipboard
  int OutstandingGdiObjects() const;   // brushes not deleted
  int LiveWindowsOfCurrentProcess() const;
  HWND FindWindowByClass(const Text& cls) const;  // the program's windows, destroyed ones too
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
