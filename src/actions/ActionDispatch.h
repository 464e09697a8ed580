// The output of a run: what happens with the SelectionList.
// Reads: g_Run.Selection, TargetWindow, RestoreFlag, RequestedLabel, Exec, QuoteMode.
#ifndef TAVIX_ACTIONS_ACTIONDISPATCH_H
#define TAVIX_ACTIONS_ACTIONDISPATCH_H

#include "../common/win32.h"

// The index of the first ExecEntry whose label equals label without regard to letter case,
// or -1.
int FindExecEntry(const WCHAR* label);

// Restores the TargetWindow when the settings ask for it, then starts the program whose
// label was requested, or else puts the paths on the clipboard with a beep.
void DispatchAction();

#endif
