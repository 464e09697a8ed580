// State of a simulated world, shared by the sim's implementation files.
// Tests do not include this; they use SimWorld.h.
#ifndef SIM_INTERNAL_H
#define SIM_INTERNAL_H

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "SimWorld.h"

namespace sim {

// ----- file system -----
// Names are UTF-16, as the file system keeps them; they keep the case they
// were created with and compare folded (FoldWide).
struct FsNode {
  bool isDir = false;
  std::u16string name;
  DWORD attributes = 0;
  std::string bytes;
  std::map<std::u16string, std::shared_ptr<FsNode>> children;  // key: FoldWide(name)
  FsNode* parent = nullptr;
  bool deleted = false;
};

// A path resolved against the world: the full path, and what it names.
struct Resolved {
  DWORD error = 0;              // 0 when the parent chain exists and the name is valid
  std::u16string full;          // full path as GetFullPathNameW gives it
  std::u16string key;           // full path folded for comparisons, without a trailing separator
  std::shared_ptr<FsNode> node; // the named file or directory, or null
  FsNode* parent = nullptr;     // the directory that holds (or would hold) the name
  std::u16string leaf;          // the last component ("" for a drive root)
  bool trailingSeparator = false;
};

// ----- kernel objects -----
struct OpenFile {
  std::shared_ptr<FsNode> node;
  std::u16string key;
  DWORD access = 0;
  DWORD share = 0;
  uint64_t position = 0;
};

// A Tool Help snapshot: the process list as it was when it was taken.
struct Snapshot {
  std::vector<PROCESSENTRY32> processes;
  size_t next = 0;
};

// A mapping backed by the paging file. Its bytes live in an anonymous host
// file that every view maps, so two views of one mapping share their bytes.
// The file goes when the last handle and the last view have gone.
struct Mapping {
  int fd = -1;
  SIZE_T size = 0;  // as asked for
  DWORD protect = 0;
  Mapping() = default;
  Mapping(const Mapping&) = delete;
  Mapping& operator=(const Mapping&) = delete;
  ~Mapping();
};

// A thread the program started: a host thread of its own (Threads.cpp).
struct ThreadRun {
  std::thread host;
  bool waitedFor = false; // guarded by World::Impl::threadMutex: it may run
  bool finished = false;
  bool hung = false;      // it waits in a call that does not answer
};

struct KernelObject {
  enum Kind { kFile, kProcess, kSnapshot, kMapping, kThread, kEvent } kind = kFile;
  std::shared_ptr<ThreadRun> thread;   // kThread
  std::shared_ptr<OpenFile> file;
  DWORD processId = 0;
  DWORD access = 0;                    // kProcess: the rights granted
  std::shared_ptr<Snapshot> snapshot;  // kSnapshot
  std::shared_ptr<Mapping> mapping;    // kMapping
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
  bool setByProgram = false;   // the program handed it over (not a test's earlier content)
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

// What a system class makes of a window of the program (Windows.cpp).
enum class SystemControl { kNone, kEdit, kComboBox, kListView };

// A window keeps its class name and title in UTF-16 (rec.classNameWide,
// rec.titleWide); rec.className and rec.title are filled only when a test
// asks for the record.
struct WindowObj {
  WindowRecord rec{};
  WNDPROC proc = nullptr;  // set for windows of the program under test
  // Its procedure takes W messages (its class was registered with
  // RegisterClassW); A messages reach it converted, and the other way round.
  bool unicode = false;
  SystemControl control = SystemControl::kNone;  // a window of a system class
  HINSTANCE instance = nullptr;
  std::u16string classKey;     // FoldWide of the class name
  std::vector<HWND> children;  // in Z-order, top first
  bool destroying = false;
  bool createdByProgram = false;
  // Another program's control, or a common control of the program itself
  // (its list view), which answers before the procedure.
  std::shared_ptr<ControlBehavior> behavior;
  bool unterminatedText = false;  // WM_GETTEXT fills the whole buffer, no zero
};

struct ClassObj {
  std::u16string name;
  UINT style = 0;
  WNDPROC proc = nullptr;
  bool unicode = false;        // registered with RegisterClassW
  SystemControl control = SystemControl::kNone;
  HINSTANCE instance = nullptr;
  HICON icon = nullptr;
  HCURSOR cursor = nullptr;
  HBRUSH background = nullptr;
  ATOM atom = 0;
};

// Memory that VirtualAllocEx gave in another process: whole pages, zero
// when allocated.
struct RemoteRegion {
  std::vector<unsigned char> bytes;
  DWORD protect = PAGE_READWRITE;
  bool committed = true;
};

struct ProcessObj {
  DWORD id = 0;
  std::u16string imagePath;
  int bitness = 32;
  bool ended = false;
  DWORD refusedRights = 0;     // OpenProcess is refused when asked for any of these
  bool hung = false;           // its thread answers no messages
  bool abortAtOnce = false;    // the system already knows it as hung
  DWORD messageDelay = 0;      // milliseconds each message takes
  // SendNotifyMessageW messages not yet handled: the process's thread handles
  // them, in order, before the next message sent to it with a wait.
  struct Notify { HWND window; UINT msg; WPARAM wParam; LPARAM lParam; };
  std::deque<Notify> notifies;
  std::map<ULONG_PTR, RemoteRegion> memory;  // by base address
  ULONG_PTR nextAddress = 0;   // where the next allocation goes
  SIZE_T allocatedBytes = 0;
};

// A view of a paging-file mapping in the program's address space: real host
// memory below 2 GiB (a 32-bit program can store its address), followed by an
// inaccessible guard page so that running off its end faults.
struct MappedView {
  unsigned char* base = nullptr;
  SIZE_T size = 0;      // usable bytes: whole pages
  SIZE_T reserved = 0;  // with the guard page
  bool writable = false;
  MappedView() = default;
  MappedView(const MappedView&) = delete;
  MappedView& operator=(const MappedView&) = delete;
  ~MappedView();
};

// A message that timed out while its lParam pointed into memory the program
// had given to the other process (processId 0: a mapped view); the other
// process may still handle it and write there.
struct PendingLateWrite {
  DWORD processId;
  ULONG_PTR address;
};

struct World::Impl {
  // program under test
  std::u16string modulePath = u"C:\\Tavix\\Tavix.exe";
  std::u16string currentDirectory = u"C:\\";
  std::map<char, std::u16string> driveDirectories;  // last current directory per drive (upper case)
  std::u16string commandLine = u"\"C:\\Tavix\\Tavix.exe\"";
  std::vector<char> commandLineBuffer;           // what GetCommandLineA handed out
  std::vector<char16_t> commandLineWideBuffer;   // what GetCommandLineW handed out
  DWORD osMajor = 5, osMinor = 1, osBuild = 2600, osPlatform = VER_PLATFORM_WIN32_NT;
  std::string csdVersion = "Service Pack 3";
  std::u16string windowsDirectory = u"C:\\WINDOWS";
  std::u16string systemDirectory = u"C:\\WINDOWS\\system32";
  UINT codePage = 932;
  std::set<std::string> iconResources{"MYICON"};
  int messageBoxAnswer = IDOK;
  DWORD lastError = 0;
  DWORD tickCount = 1000000;

  // file system
  std::map<char, std::shared_ptr<FsNode>> drives;   // key: the upper-case letter
  std::map<std::u16string, HeldFile> heldFiles;     // key: Resolved::key of the path
  std::map<std::u16string, FileFaults> fileFaults;  // key: Resolved::key of the path
  bool systemSearchPathSet = false;
  std::vector<std::u16string> systemSearchPath;
  std::vector<std::u16string> pathVariable;

  // kernel handles (files, processes, snapshots, mappings share one table)
  std::map<uintptr_t, KernelObject> handles;
  uintptr_t nextKernelHandle = 0x100;
  bool debuggerAttached = false;
  bool debugViewerListening = false;

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
  std::map<std::u16string, ClassObj> classes;  // key: FoldWide of the class name
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
  int programBitness = 64;
  std::vector<PendingLateWrite> pendingLateWrites;

  // libraries (keys: folded file names with extension)
  std::map<std::string, int> libraryLoads;
  std::map<std::string, bool> libraryPresent;  // set by the test, else the version decides
  std::map<std::pair<std::string, std::string>, bool> exportPresent;  // (module, function)

  // paging-file mappings
  std::map<uintptr_t, std::unique_ptr<MappedView>> views;  // by base address
  bool failCreateFileMapping = false;
  bool failMapViewOfFile = false;

  // shell folders
  std::map<int, std::u16string> specialFolders;
  int shellExecuteResult = 0;

  // clipboard: the blocks it owns by format (keys into globals), and the
  // formats in the order they were set
  std::map<UINT, uintptr_t> clipboard;
  std::vector<UINT> clipboardOrder;
  // Blocks the system made for a reader from another format (CF_TEXT from
  // CF_UNICODETEXT and back); they go with the clipboard's content.
  std::map<UINT, uintptr_t> clipboardSynthesized;
  bool clipboardHeldElsewhere = false;
  bool clipboardOpenByProgram = false;
  bool failEmptyClipboard = false;
  bool failSetClipboardData = false;
  std::map<uintptr_t, int> clipboardLockCountWhenSet;

  bool inWindowHook = false;  // beforeWindowCall is running

  // threads (Threads.cpp); the program's thread waits while another runs, so
  // only the hang and the end of a thread need the lock
  std::vector<std::shared_ptr<ThreadRun>> threads;
  std::mutex threadMutex;
  std::condition_variable threadChanged;
  bool releaseHungThreads = false;  // the world ends: hung calls return

  // the shell's window list and COM (ShellWindows.cpp)
  bool shellWindowListPresent = true;
  std::vector<World::ShellBrowser> shellBrowsers;
  std::string shellHang;                         // the method that never answers
  std::map<std::string, HRESULT> shellFailures;  // method -> its result
  std::vector<std::string> shellCalls;
  int liveShellObjects = 0;
  std::set<const void*> taskMemory;              // CoTaskMem blocks the program holds
  int openApartments = 0;

  // fallible calls (Faults.cpp)
  long fallibleCalls = 0;             // fault points passed since the numbering started
  long failFallibleCall = 0;          // this one fails (0: none)
  long failFallibleCallsFrom = 0;     // this one and every later one fail (0: none)
  std::vector<std::string> fallibleCallRecord;
  int simOwnCalls = 0;                // depth of SimOwnCalls scopes
};

// ----- helpers shared between the sim's files -----
World::Impl& State();  // the current world's state (aborts without a world)
void SetError(DWORD error);

// Fault points (Faults.cpp)
// Passed at the start of every function that can fail on Windows: true when
// the world makes this call fail. The function then fails as Windows fails it
// (its failure result and last error) and has no effect.
bool FaultHere(const char* function);
// While one lives, the calls the sim makes of its own functions (one built
// on another, a set-up call, the test's window hook) pass no fault point:
// they are not the program's calls.
// At the start of each W function: on Windows 95/98/ME the program's call is
// noted in World::wideCallsOnWindows9x.
void NoteWideCall(const char* function);
class SimOwnCalls {
 public:
  SimOwnCalls();
  ~SimOwnCalls();
  SimOwnCalls(const SimOwnCalls&) = delete;
  SimOwnCalls& operator=(const SimOwnCalls&) = delete;
};

// Code pages (CodePages.cpp). The world keeps its texts in UTF-16; these
// convert them as Windows does.
// Bytes of a code page (932, 1252 or CP_UTF8) to UTF-16, as MultiByteToWideChar
// gives them without flags: a two-byte code that maps to nothing, and a lead
// byte without a trail byte after it, become U+30FB. *invalid tells whether
// anything of the kind happened.
std::u16string BytesToWide(UINT page, const char* s, size_t n, bool* invalid);
// UTF-16 to a code page, as WideCharToMultiByte gives it: with bestFit the
// look-alikes Windows writes without WC_NO_BEST_FIT_CHARS, else defaultChar
// for each UTF-16 unit the code page lacks (a surrogate pair gives two).
std::string WideToBytes(UINT page, const char16_t* s, size_t n, bool bestFit, char defaultChar,
                        bool* usedDefault);
bool IsLeadByteOf(UINT page, unsigned char c);
// The world's ANSI code page. The A functions of Windows convert with
// best-fit (bestFit true); WC_NO_BEST_FIT_CHARS is bestFit false.
std::u16string AnsiToWide(const std::string& ansi);
std::u16string AnsiToWide(const char* ansi);   // null gives the empty text
std::string WideToAnsi(const std::u16string& wide, bool bestFit = true,
                       bool* usedDefault = nullptr);
std::string WideToAnsi(const char16_t* wide, bool bestFit = true, bool* usedDefault = nullptr);
std::u16string DecodeUtf8(const std::string& utf8, bool* invalid = nullptr);
std::string EncodeUtf8(const std::u16string& wide, bool* invalid = nullptr);
// Letters folded to lower case as the file system and the window manager
// compare names: ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic and
// full-width Latin letters.
std::u16string FoldWide(const std::u16string& s);
// The length of a zero-terminated UTF-16 text (0 for null).
size_t WideLength(const char16_t* s);

// ANSI text
bool IsLead(unsigned char c);  // a lead byte of the world's ANSI code page
// Length in bytes of the character that starts at s (0 at the end of the text).
size_t CharLen(const char* s);
// ASCII letters folded to lower case; two-byte characters are left alone.
std::string FoldName(const std::string& s);
// An ANSI text as it comes back after the system converted it to Unicode and
// back: a lead byte with no trail byte after it converts to a zero character,
// so the text ends before it.
std::string ThroughUnicode(const std::string& s);

// File system (FileSystem.cpp). Paths are UTF-16; an A function converts its
// name with AnsiName first.
// With ansiLimit a name of more than MAX_PATH characters fails with
// ERROR_FILENAME_EXCED_RANGE, as the A functions' conversion of the name does;
// the W functions and the world's own set-up calls pass false.
Resolved ResolvePath(const std::u16string& path, bool ansiLimit = true);
// Full-path computation of GetFullPathNameW; false with *error set for a text
// that has no full path.
bool FullPath(const std::u16string& path, std::u16string* full, DWORD* error);
std::shared_ptr<FsNode> MakeDirectories(const std::u16string& path);  // returns the last one
// A new empty file or directory named name inside parent (which must not hold it yet).
std::shared_ptr<FsNode> AddChildNode(FsNode* parent, const std::u16string& name, bool isDir);
void SplitComponents(const std::u16string& path, std::vector<std::u16string>* parts);
// A name an A function was given, as the system converts it to UTF-16: a lead
// byte without its trail byte converts to a zero character, which ends it.
std::u16string AnsiName(const char* ansi);

// Windows (Windows.cpp, Messages.cpp)
WindowObj* FindWindowObj(HWND hwnd);  // live windows only
bool IsProgramWindow(const WindowObj& w);
// Gives a message sent as A (wide false) or as W to a window of the program
// (Messages.cpp). A window whose procedure takes the other kind gets the texts
// of WM_SETTEXT, WM_GETTEXT and WM_GETTEXTLENGTH converted, as the system
// converts them.
LRESULT CallWindowProcedure(WindowObj& w, UINT msg, WPARAM wParam, LPARAM lParam, bool wide);
// Puts a top-level window at the top of its band of the Z-order (topmost
// windows stay above the others).
void LinkTopLevel(HWND hwnd, bool topmost);
// Copies a window text into a buffer of max bytes: whole characters only,
// always terminated; returns the number of bytes copied.
int CopyWindowText(const std::string& text, char* buffer, int max);
// The same for UTF-16 into a buffer of max characters: at most max - 1 units
// (a surrogate pair may be cut, as lstrcpynW cuts it) and the zero.
int CopyWideText(const std::u16string& text, char16_t* buffer, int max);
// An ANSI text as the system takes it in: converted from the world's code
// page, without a final lead byte that has no trail byte. Null gives the
// empty text.
std::u16string AnsiText(const char* ansi);
// A window record as a test reads it: the narrow texts in the world's code page.
WindowRecord Observed(const WindowObj& w);
// A list view the program creates itself (ListViews.cpp): its item records
// and texts lie in the program's own memory.
std::shared_ptr<ControlBehavior> NewProgramListView();

// Windows 95/98/ME rather than the NT family.
bool IsWin9x();

// Kernel handles (Files.cpp)
HANDLE NewKernelHandle(const KernelObject& obj);
KernelObject* FindKernelObject(HANDLE h, KernelObject::Kind kind);  // null when not of that kind

// Calls the test's beforeWindowCall hook, unless it is already running (Windows.cpp).
void BeforeWindowCall(const char* function, HWND hwnd);

// Processes (World.cpp, Processes.cpp)
ProcessObj* FindProcess(DWORD id);
// A process the test added, for the set-up calls; aborts with a clear
// message for any other id.
ProcessObj& ProcessForSetUp(DWORD processId, const char* caller);
// How a range of another process's memory is used: read (by anyone), written
// by WriteProcessMemory (which makes execute-only pages writable for the
// moment), or written by the process itself (a control answering a message).
enum class RemoteAccess { kRead, kWriteFromOutside, kWriteFromInside };
// The bytes of [address, address + size) when the range lies wholly inside
// one committed region of the process that allows the access; else null.
unsigned char* RemoteRange(ProcessObj& p, ULONG_PTR address, SIZE_T size, RemoteAccess access);
// A message to a process timed out: remember its lParam if it points into a
// region of that process or (Windows 98/ME) into a mapped view.
void NoteLateWrite(DWORD processId, LPARAM lParam);
// A message that was pending (NoteLateWrite) has now been handled.
void ForgetLateWrite(DWORD processId, LPARAM lParam);
// The program released [base, base + size) of a process (0: a mapped view).
void ReleasedByProgram(DWORD processId, ULONG_PTR base, SIZE_T size);
// The run-time-only functions of the sim by module and name (null when the
// sim has none); which of them a Windows version exports is Modules.cpp's
// business.
FARPROC RunTimeFunction(const std::string& module, const std::string& name);
// A function as GetProcAddress hands it out; the caller casts it back to its
// real type. The detour through void (*)() is the cast compilers accept
// between unrelated function types.
template <typename F>
FARPROC AsFarProc(F* f) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(f));
}
bool SystemIs64Bit();

// Libraries (Modules.cpp)
// The handle of a library that LoadLibraryA loaded and that is still loaded
// (name folded, with extension); null otherwise.
HMODULE LoadedLibraryHandle(const std::string& key);
// A PSAPI function is about to run: false (and counted) when the library has
// been freed, which on Windows would be a call into unmapped code.
bool PsapiStillLoaded();

// Mapped views (Mappings.cpp)
// The host bytes of [address, address + size) when they lie inside one view
// (writable when write is asked); else null.
unsigned char* ViewRange(ULONG_PTR address, SIZE_T size, bool write);

// Threads (Threads.cpp)
// The calling thread (one the program started) waits in a call that never
// answers, until the world ends; then the call returns.
void HangThisThread();
// Ends the world's threads: hung calls return, and every thread is joined.
void JoinThreads();

// COM and the shell's window list (ShellWindows.cpp): OLE32.DLL's functions
// and shell32's SHGetPathFromIDListW, by module and name.
FARPROC ComFunction(const std::string& module, const std::string& name);

// Shell folders (Shell.cpp)
void InstallDefaultSpecialFolders(World& world);

}  // namespace sim

#endif  // SIM_INTERNAL_H
