// Writes: g_Run.WindowTitle, ListViews, CurrentListView, ReadStatus, ShellViewFor,
//         ShellItemsWanted, and through the folder resolution and the readers CurrentFolder,
//         AddressBoxFound, Selection.
// Reads: g_Run.SearchMode, IsNtFamily.
#include "ListViewDiscovery.h"

#include "../common/RunState.h"
#include "../common/SplitPath.h"
#include "../common/SystemText.h"
#include "../common/Text.h"
#include "../common/Trace.h"
#include "../window/FolderResolution.h"
#include "../window/ProcessImage.h"
#include "../window/ShellViewQuery.h"
#include "ListViewReader9x.h"
#include "ListViewReaderNt.h"
#include "ShellSelection.h"

// The window's class name. Each pass looks at the class first and asks whether the window is
// visible (no pass collects a hidden one) only for a class it would take: for another program's
// window, every question about it is a round trip to the system.
static void ClassNameOf(HWND window, WCHAR* className)
{
    className[0] = 0;
    ReadClassName(window, className, ClassNameSize);
}

static BOOL AddListView(HWND listView)
{
    ListViewTable* table = &g_Run.ListViews;
    table->Windows[table->Count++] = listView;
    return table->Count < MaxListViews;
}

BOOL CALLBACK CollectExplorerListView(HWND window, LPARAM unused)
{
    (void)unused;
    WCHAR className[ClassNameSize];
    ClassNameOf(window, className);
    if (!IsShellFolderClass(className))
        return TRUE;
    if (!IsWindowVisible(window))
        return TRUE;
    HWND view = FindChildWindow(window, WTEXT("SHELLDLL_DefView"));
    HWND listView = view != NULL ? FindChildWindow(view, WTEXT("SysListView32")) : NULL;
    if (listView == NULL)
        return TRUE;
    return AddListView(listView);
}

// The shell's own list views are left to the last pass.
static int BelongsToShell(HWND window)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    WCHAR image[LineBufferSize];
    ProcessImagePath(processId, image);
    SplitPath(image);
    return CompareNoCaseN(g_Run.Parts.BaseName, WTEXT("explorer"), 8) == 0;
}

BOOL CALLBACK CollectForeignListView(HWND window, LPARAM unused)
{
    (void)unused;
    WCHAR className[ClassNameSize];
    ClassNameOf(window, className);
    if (FindNoCase(className, WTEXT("SysListView32")) == NULL || !IsWindowVisible(window) ||
        BelongsToShell(window))
        return TRUE;
    return AddListView(window);
}

BOOL CALLBACK CollectAnyListView(HWND window, LPARAM unused)
{
    (void)unused;
    WCHAR className[ClassNameSize];
    ClassNameOf(window, className);
    if (FindNoCase(className, WTEXT("ListView")) == NULL || !IsWindowVisible(window))
        return TRUE;
    return AddListView(window);
}

static const WNDENUMPROC CollectionPasses[] = {CollectExplorerListView, CollectForeignListView,
                                                CollectAnyListView};

// Adds the list views of one pass to the table; returns how many it added.
static int CollectPass(HWND window, int pass)
{
    int before = g_Run.ListViews.Count;
    EnumChildWindows(window, CollectionPasses[pass], 0);
    Trace("check: pass %d collected %d list views", pass + 1, g_Run.ListViews.Count - before);
    return g_Run.ListViews.Count - before;
}

// The window is visible, has a title and shows a folder.
static int ShowsFolder(HWND window)
{
    g_Run.WindowTitle[0] = 0;
    ReadWindowTitle(window, g_Run.WindowTitle, LineBufferSize);
    if (!IsWindowVisible(window) || TextLength(g_Run.WindowTitle) <= 0)
        return 0;
    return ResolveFolder(window);
}

int CheckTargetWindow(HWND window)
{
    if (!ShowsFolder(window))
        return 0;
    if (g_Run.SearchMode != FilerMode)
        return 1;
    g_Run.ListViews.Count = 0;
    for (int pass = 0; pass < 3 && g_Run.ListViews.Count < MaxListViews; pass++)
        CollectPass(window, pass);
    return g_Run.ListViews.Count > 0;
}

// The passes are collected one at a time, and each pass's list views are read before the next
// pass looks for more: the table is read in the same order as when every pass is collected
// first, but a list view that gives its selection spares the later passes, whose window
// walks and process look-ups are most of the time a run takes.
int ReadSelection(HWND window)
{
    // When the shell names the folder, it is asked for the selected items in the same go.
    g_Run.ShellViewFor = NULL;
    g_Run.ShellItemsWanted = 1;
    int shows = ShowsFolder(window);
    g_Run.ShellItemsWanted = 0;
    if (!shows)
        return 0;
    ListViewTable* table = &g_Run.ListViews;
    table->Count = 0;
    for (int pass = 0; pass < 3 && table->Count < MaxListViews; pass++) {
        int first = table->Count;
        CollectPass(window, pass);
        for (int i = first; i < table->Count; i++) {
            g_Run.CurrentListView = table->Windows[i];
            g_Run.ReadStatus = 0;
            int read = g_Run.IsNtFamily ? ReadListViewNt() : ReadListView9x();
            if (!read)
                return -1;
            if (g_Run.ReadStatus != -1)
                return 1;
        }
    }
    if (table->Count > 0)
        return 1;
    // A shell folder window whose item view is no list view: the shell tells its selection.
    return IsShellFolderWindow(window) ? ReadShellSelection(window) : 0;
}
