// Writes: g_Run.Selection, ReadStatus, and through the shell query ShellView.
// Reads: g_Run.ShellView, ShellViewFor, CurrentFolder.
#include "ShellSelection.h"

#include "../common/RunState.h"
#include "../common/SystemText.h"
#include "../common/Text.h"
#include "../common/Trace.h"
#include "../window/ShellViewQuery.h"
#include "ItemPath.h"

// A path the shell gave is taken when it names something that exists, as an item path formed
// from a list view's text is.
static int StoreShellPath(int index, const WCHAR* path)
{
    SelectionList* list = &g_Run.Selection;
    if (!FileExists(path) && !IsDirectory(path)) {
        Trace("read: item %d \"%s\" from the shell does not exist", index, path);
        g_Run.ReadStatus = -1;
        return 0;
    }
    TextCopy(list->Paths[list->Count], PathBufferSize, path);
    if (TraceThisItem(list->Count))
        Trace("read: item %d is \"%s\" (from the shell)", index, path);
    list->Count++;
    return 1;
}

int ReadShellSelection(HWND window)
{
    unsigned long shown = (unsigned long)(ULONG_PTR)window;
    g_Run.ReadStatus = 0;
    // The folder resolution of this check may have asked already, items included.
    int answer = g_Run.ShellViewFor == window && g_Run.ShellView.WithItems
                     ? (int)ShellAnswered
                     : AskShell(window, 1);
    if (answer == ShellNotListed)
        return 0;
    if (answer == ShellFailed) {
        Trace("read: the shell did not tell what is selected in window %08lX", shown);
        return -1;
    }
    const ShellViewReport* report = &g_Run.ShellView;
    Trace("read: window %08lX has %d selected items (from the shell's window list)", shown,
          report->ItemTotal);
    g_Run.Selection.Count = 0;
    int whole = 1;
    for (int i = 0; i < report->ItemCount && whole; i++)
        whole = StoreShellPath(i, report->Paths[i]);
    if (whole && report->ItemStatus != ShellPathTaken) {
        Trace("read: item %d from the shell has %hs; it cannot be resolved", report->ItemCount,
              ShellPathStatusText(report->ItemStatus));
        g_Run.ReadStatus = -1;
    }
    TraceStoredItemsLeftOut();
    StoreFolderWhenNoPath();
    Trace("read: %d paths, status %d", g_Run.Selection.Count, g_Run.ReadStatus);
    return 1;
}
