// The one process-wide record of a run. It is zero-filled at process start and never freed;
// each stage fills its own fields and later stages read them.
#ifndef TAVIX_COMMON_RUNSTATE_H
#define TAVIX_COMMON_RUNSTATE_H

#include "DynamicCalls.h"
#include "win32.h"

enum {
    PathBufferSize = 260,   // every path and name buffer
    LineBufferSize = 520,   // line and scratch buffers
    SearchPathSize = 5200,
    MaxNames = 20,
    MaxExecEntries = 20,
    ClassNameSize = 128,      // class names are compared on at most 127 characters
    MaxCandidates = 100,
    MaxListViews = 100,
    MaxSelection = 1000,
    MaxSilentThreads = 16,
    CommandLineSize = 32768   // the longest command line the system passes, with its zero
};

// How the window search works: the folder a window shows is the result, or the items
// selected in one of its list views are.
enum SearchModes { TitleMode = 1, FilerMode = 2 };

// How the paths are written into a program's parameter text: each in double quotes, bare,
// or not at all (the expanded template is passed as it stands). Undecided exists only while
// a template is expanded.
enum QuoteModes { Undecided = 0, QuotedItems = 1, BareItems = 2, VerbatimText = 3 };

// What the last SplitPath call found; the caller reads it right after the call.
struct PathParts {
    WCHAR Drive[3];
    WCHAR Directory[256];
    WCHAR BaseName[256];
    WCHAR Extension[256];
};

struct NameList {
    WCHAR Names[MaxNames][PathBufferSize];
    int Count;
};

// Entries of the [exec] section, in file order, as three parallel arrays.
struct ExecTable {
    WCHAR ProgramPath[MaxExecEntries][PathBufferSize];
    WCHAR Label[MaxExecEntries][PathBufferSize];
    WCHAR Template[MaxExecEntries][PathBufferSize];
    int Count;
};

// Visible top-level windows that show a folder, with the base name of their process image,
// in the order the system reported them.
struct CandidateTable {
    WCHAR Names[MaxCandidates][PathBufferSize];
    HWND Windows[MaxCandidates];
    int Count;
};

// The list views found in the window being read, in the order of discovery.
struct ListViewTable {
    HWND Windows[MaxListViews];
    int Count;
};

// The absolute paths that the output receives.
struct SelectionList {
    WCHAR Paths[MaxSelection][PathBufferSize];
    int Count;
};

// What the program knows about messages to other programs' windows: each run may wait on
// them for a few seconds in all, and a thread that let one message time out is not asked again.
struct ForeignMessageState {
    int ClockStarted;
    DWORD FirstMessageTick;
    DWORD SilentThreads[MaxSilentThreads];
    int SilentThreadCount;
};

// How a path the shell gave came through: taken, or why not.
enum ShellPathStatus {
    ShellPathTaken = 1,
    ShellPathNone = 0,          // the item has no file-system path (This PC, a zip folder, ...)
    ShellPathTooLong = -2,      // 260 characters or more
    ShellPathLost = -3          // the shell stopped answering while asked for it
};

// What asking the shell about one of its folder windows came to.
enum ShellAnswers {
    ShellFailed = -1,     // the shell lists the window but did not answer about it in time or whole
    ShellNotListed = 0,   // the shell's window list is not there or does not hold the window
    ShellAnswered = 1
};

// What the shell's window list said about one of its folder windows. A worker thread fills
// it while the GUI thread waits; a worker that was given up on may still write into it, so
// after that (ShellSilent) the record is never read again.
struct ShellViewReport {
    HWND Frame;                   // the window asked about
    HWND ActiveTab;               // its first tab window, or NULL when it has no tabs
    int WithItems;                // the selected items were asked for too
    int Answer;                   // ShellAnswers
    const char* FailedCall;       // the call that ended the asking, for the trace, or NULL
    HRESULT FailedResult;
    int FolderStatus;             // ShellPathStatus of Folder
    WCHAR Folder[PathBufferSize];
    int ItemTotal;                // the selected items of the view
    int ItemCount;                // the paths taken, in the view's order
    int ItemStatus;               // ShellPathStatus of the item after the last one taken
    WCHAR Paths[MaxSelection][PathBufferSize];
    OleCalls Ole;
    SHGetPathFromIDListWCall PathFromIdList;   // for views that hand out no shell items
};

struct RunState {
    // Start-up
    HINSTANCE Instance;
    // 1 where the system's wide (W) functions work: the NT family. Windows 95, 98 and ME
    // have only the ANSI ones, so there every text crosses to the system converted.
    int UnicodeCalls;
    WCHAR CommandLineCopy[CommandLineSize];   // Windows 98/ME: the tail, converted
    // 1 when a debugger or a debug viewer took the trace at the start: then every item has
    // its line, not only the first TraceItemLimit.
    int TraceListening;
    WCHAR ModulePath[LineBufferSize];
    WCHAR DefaultSettingsName[PathBufferSize];
    const WCHAR* CommandLine;   // the tail after the program's name
    WCHAR OwnDirectory[PathBufferSize];
    WCHAR SettingsPath[PathBufferSize];
    HWND TargetWindow;
    int IsNtFamily;
    HWND OwnWindow;   // stays null during the run: the run happens inside window creation

    PathParts Parts;

    // Switches
    WCHAR RequestedLabel[PathBufferSize];
    int UseFirstEntry;
    int FilerSwitch;
    WCHAR FilerSwitchName[PathBufferSize];
    int TitleSwitch;
    WCHAR TitleSwitchName[PathBufferSize];

    // Settings file and program lookup
    WCHAR SearchPathText[SearchPathSize];
    int SearchPathPresent;
    int ProgramFound;
    NameList TitleList;
    NameList FilerList;
    int RestoreFlag;
    ExecTable Exec;

    // Window search and folder resolution
    int SearchMode;
    WCHAR WindowTitle[LineBufferSize];   // the title of the window examined last
    WCHAR CurrentFolder[PathBufferSize];
    int AddressBoxFound;
    CandidateTable Candidates;

    // Selection reading
    ListViewTable ListViews;
    HWND CurrentListView;
    int ReadStatus;                     // 0, or -1 when a selection could not be read whole
    SelectionList Selection;
    ForeignMessageState Foreign;
    ShellViewReport ShellView;
    HWND ShellViewFor;                  // the window ShellView answered about, or NULL
    int ShellItemsWanted;               // the folder resolution asks the shell for the items too
    int ShellSilent;                    // the shell let a question time out: it is not asked again

    // Output
    int QuoteMode;
};

extern RunState g_Run;

#endif
