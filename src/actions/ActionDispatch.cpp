// Reads: g_Run.Selection, TargetWindow.
#include "ActionDispatch.h"

#include "../common/RunState.h"
#include "../common/Trace.h"

// The clipboard and the program start are not part of this build yet: each path that would
// be output is written to the trace.
void DispatchAction()
{
    const SelectionList* list = &g_Run.Selection;
    Trace("output: %d paths from window %08lX", list->Count,
          (unsigned long)(ULONG_PTR)g_Run.TargetWindow);
    for (int i = 0; i < list->Count; i++)
        Trace("output: \"%s\"", list->Paths[i]);
}
