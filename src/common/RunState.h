// The one process-wide record of a run. It is zero-filled at process start and never freed;
// each stage fills its own fields and later stages read them.
#ifndef TAVIX_COMMON_RUNSTATE_H
#define TAVIX_COMMON_RUNSTATE_H

#include "win32.h"

enum {
    PathBufferSize = 260,   // every path and name buffer
    LineBufferSize = 520,   // line and scratch buffers
    SearchPathSize = 5200,
    MaxNames = 20,
    MaxExecEntries = 20
};

// What the last SplitPath call found; the caller reads it right after the call.
struct PathParts {
    char Drive[3];
    char Directory[256];
    char BaseName[256];
    char Extension[256];
};

struct NameList {
    char Names[MaxNames][PathBufferSize];
    int Count;
};

// Entries of the [exec] section, in file order, as three parallel arrays.
struct ExecTable {
    char ProgramPath[MaxExecEntries][PathBufferSize];
    char Label[MaxExecEntries][PathBufferSize];
    char Template[MaxExecEntries][PathBufferSize];
    int Count;
};

struct RunState {
    // Start-up
    HINSTANCE Instance;
    char ModulePath[LineBufferSize];
    char DefaultSettingsName[PathBufferSize];
    const char* CommandLine;
    char OwnDirectory[PathBufferSize];
    char SettingsPath[PathBufferSize];
    HWND TargetWindow;
    int IsNtFamily;
    HWND OwnWindow;   // stays null during the run: the run happens inside window creation

    PathParts Parts;

    // Switches
    char RequestedLabel[PathBufferSize];
    int UseFirstEntry;
    int FilerSwitch;
    char FilerSwitchName[PathBufferSize];
    int TitleSwitch;
    char TitleSwitchName[PathBufferSize];

    // Settings file and program lookup
    char SearchPathText[SearchPathSize];
    int SearchPathPresent;
    int ProgramFound;
    NameList TitleList;
    NameList FilerList;
    int RestoreFlag;
    ExecTable Exec;
};

extern RunState g_Run;

#endif
