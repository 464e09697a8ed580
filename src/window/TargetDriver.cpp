// Writes: g_Run.SearchMode, TargetWindow, Selection (in TitleMode).
// Reads: g_Run.FilerSwitch, FilerSwitchName, TitleSwitch, TitleSwitchName, FilerList,
//        TitleList, Candidates, CurrentFolder.
#include "TargetDriver.h"

#include "../actions/ActionDispatch.h"
#include "../common/RunState.h"
#include "../common/SystemText.h"
#include "../common/Text.h"
#include "../common/Trace.h"
#include "../selection/ListViewDiscovery.h"
#include "CandidateScan.h"

enum TryResult { TryNext = 0, TryDone = 1, TryEndRun = -1 };

// Equal names, ignoring the case of letters: the same length, and one contains the other.
static int NamesMatch(const WCHAR* baseName, const WCHAR* name)
{
    return TextLength(baseName) == TextLength(name) && FindNoCase(name, baseName) != NULL;
}

static void HandOverFolder()
{
    TextCopy(g_Run.Selection.Paths[0], PathBufferSize, g_Run.CurrentFolder);
    g_Run.Selection.Count = 1;
    DispatchAction();
}

// Checks or reads the TargetWindow as the mode requires, and outputs when it qualifies.
static int TryTargetWindow()
{
    if (g_Run.SearchMode == TitleMode) {
        if (!CheckTargetWindow(g_Run.TargetWindow))
            return TryNext;
        Trace("target: window %08lX shows \"%s\"", (unsigned long)(ULONG_PTR)g_Run.TargetWindow,
              g_Run.CurrentFolder);
        HandOverFolder();
        return TryDone;
    }
    int read = ReadSelection(g_Run.TargetWindow);
    if (read == 0)
        return TryNext;
    if (read < 0) {
        Trace("target: a list view of window %08lX cannot be read; nothing is output",
              (unsigned long)(ULONG_PTR)g_Run.TargetWindow);
        return TryEndRun;
    }
    Trace("target: window %08lX gives %d paths", (unsigned long)(ULONG_PTR)g_Run.TargetWindow,
          g_Run.Selection.Count);
    DispatchAction();
    return TryDone;
}

// Tries every candidate whose image base name equals name, in table order.
static int TryCandidatesNamed(const WCHAR* name)
{
    const CandidateTable* table = &g_Run.Candidates;
    for (int i = 0; i < table->Count; i++) {
        if (!NamesMatch(table->Names[i], name))
            continue;
        Trace("target: trying candidate %d (\"%s\")", i + 1, name);
        g_Run.TargetWindow = table->Windows[i];
        int result = TryTargetWindow();
        if (result != TryNext)
            return result;
    }
    return TryNext;
}

// The switch's name first, then the mode's list of names in order.
static void SearchCandidates(int switchState, const WCHAR* switchName, const NameList* names)
{
    ScanCandidateWindows();
    if (switchState == 2 && TryCandidatesNamed(switchName) != TryNext)
        return;
    for (int i = 0; i < names->Count; i++)
        if (TryCandidatesNamed(names->Names[i]) != TryNext)
            return;
    Trace("target: no window qualifies; nothing is output");
}

void SelectTarget()
{
    int filer = g_Run.FilerSwitch != 0;
    g_Run.SearchMode = filer ? FilerMode : TitleMode;
    int switchState = filer ? g_Run.FilerSwitch : g_Run.TitleSwitch;

    if (switchState == 1) {
        Trace("target: trying the foreground window %08lX",
              (unsigned long)(ULONG_PTR)g_Run.TargetWindow);
        if (TryTargetWindow() != TryNext)
            return;
    }
    if (filer)
        SearchCandidates(switchState, g_Run.FilerSwitchName, &g_Run.FilerList);
    else
        SearchCandidates(switchState, g_Run.TitleSwitchName, &g_Run.TitleList);
}
