#include "ActionDispatch.h"

#include "ArgumentList.h"
#include "ClipboardExport.h"
#include "ProgramLaunch.h"
#include "TemplateExpansion.h"
#include "../common/RunState.h"
#include "../common/SystemText.h"
#include "../common/Text.h"
#include "../common/Trace.h"

int FindExecEntry(const WCHAR* label)
{
    int length = TextLength(label);
    if (length == 0)
        return -1;
    for (int i = 0; i < g_Run.Exec.Count; i++) {
        if (TextLength(g_Run.Exec.Label[i]) == length && FindNoCase(g_Run.Exec.Label[i], label) != NULL)
            return i;
    }
    return -1;
}

void DispatchAction()
{
    const SelectionList* list = &g_Run.Selection;
    Trace("output: %d paths from window %08lX", list->Count,
          (unsigned long)(ULONG_PTR)g_Run.TargetWindow);
    for (int i = 0; i < list->Count && TraceThisItem(i); i++)
        Trace("output: \"%s\"", list->Paths[i]);
    TraceItemsLeftOut("output", list->Count);
    if (list->Count <= 0)
        return;

    if (g_Run.RestoreFlag == 1)
        ShowWindow(g_Run.TargetWindow, SW_RESTORE);

    int entry = FindExecEntry(g_Run.RequestedLabel);
    if (entry < 0) {
        if (g_Run.RequestedLabel[0] != 0)
            Trace("output: no program is labelled \"%s\"; the paths go to the clipboard",
                  g_Run.RequestedLabel);
        CopySelectionToClipboard(0);
        return;
    }

    Trace("output: program %d \"%s\"", entry + 1, g_Run.Exec.ProgramPath[entry]);
    WCHAR expanded[ExpandedTextSize];
    ExpandTemplate(g_Run.Exec.Template[entry], expanded);
    if (g_Run.QuoteMode == VerbatimText)
        LaunchProgram(g_Run.Exec.ProgramPath[entry], expanded);
    else
        BuildArgumentList(expanded, entry);
}
