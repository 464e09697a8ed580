// Writes: g_Run.TargetWindow, OwnDirectory, SettingsPath, IsNtFamily, RequestedLabel (for /#e).
// Reads: g_Run.CommandLine, ModulePath, DefaultSettingsName, UseFirstEntry, Exec.
#include "RunSequence.h"

#include "../common/RunState.h"
#include "../common/SplitPath.h"
#include "../common/SystemText.h"
#include "../common/Text.h"
#include "../common/Trace.h"
#include "../config/SettingsFile.h"
#include "../config/Switches.h"
#include "../window/TargetDriver.h"
#include "VersionBox.h"

void DetectOsFamily()
{
    OSVERSIONINFOA version;
    ZeroMemory(&version, sizeof version);
    version.dwOSVersionInfoSize = 148;
    GetVersionExA(&version);   // a failure leaves zeros: the NT family
    int isWin9x = version.dwMajorVersion == 4 &&
                  (version.dwMinorVersion == 10 || version.dwMinorVersion == 90);
    g_Run.IsNtFamily = isWin9x ? 0 : 1;
    Trace("system: Windows %lu.%lu, %hs family", (unsigned long)version.dwMajorVersion,
          (unsigned long)version.dwMinorVersion, g_Run.IsNtFamily ? "NT" : "98/ME");
}

void ComputeOwnDirectory()
{
    SplitPath(g_Run.ModulePath);
    TextJoin(g_Run.OwnDirectory, PathBufferSize, g_Run.Parts.Drive, g_Run.Parts.Directory);
    DetectOsFamily();
}

// With /#e and no label, the first configured program is the one to run.
static void TakeFirstEntryLabel()
{
    if (!g_Run.UseFirstEntry)
        return;
    if (g_Run.Exec.Count > 0) {
        TextCopy(g_Run.RequestedLabel, PathBufferSize, g_Run.Exec.Label[0]);
        Trace("switches: /#e takes the first entry's label \"%s\"", g_Run.RequestedLabel);
    } else {
        Trace("switches: /#e given but no program is configured; output goes to the clipboard");
    }
}

void RunSequence(HWND window)
{
    const WCHAR* commandLine = g_Run.CommandLine ? g_Run.CommandLine : WTEXT("");

    g_Run.TargetWindow = GetForegroundWindow();
    Trace("start: command line \"%s\", foreground window %08lX", commandLine,
          (unsigned long)(ULONG_PTR)g_Run.TargetWindow);

    if (FindNoCase(commandLine, WTEXT("/#v")) != NULL) {
        Trace("start: /#v shows the version box and ends the run");
        ShowVersionBox(window);
    } else {
        ComputeOwnDirectory();
        TextJoin(g_Run.SettingsPath, PathBufferSize, g_Run.OwnDirectory,
                 g_Run.DefaultSettingsName);
        ParseSwitches(commandLine);
        if (LoadSettings(window)) {
            TakeFirstEntryLabel();
            SelectTarget();
        }
    }

    Trace("end: closing the hidden window");
    if (g_Run.UnicodeCalls)
        SendMessageW(window, WM_CLOSE, 0, 0);
    else
        SendMessageA(window, WM_CLOSE, 0, 0);
}
