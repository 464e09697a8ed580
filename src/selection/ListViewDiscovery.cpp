// Writes: g_Run.WindowTitle, ListViews, CurrentListView, ReadStatus, and through the folder
//         resolution and the readers CurrentFolder, AddressBoxFound, Selection.
// Reads: g_Run.SearchMode, IsNtFamily.
#include "ListViewDiscovery.h"

#include "../common/RunState.h"
#include "../common/SplitPath.h"
#include "../common/Text.h"
#include "../common/Trace.h"
#include "../target/FolderResolution.h"
#include "../target/ProcessImage.h"
#include "ListViewReader9x.h"
#include "ListViewReaderNt.h"

// The class name of a visible window; 0 for a hidden one, which no pass collects.
static int VisibleClassName(HWND window, char* className)
{
    className[0] = '\0';
    GetClassNameA(window, className, ClassNameSize);
    return IsWindowVisible(window) ? 1 : 0;
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
    char className[ClassNameSize];
    if (!VisibleClassName(window, className))
        return TRUE;
    if (!TextEqual(className, "ExploreWClass") && !TextEqual(className, "CabinetWClass"))
        return TRUE;
    HWND view = FindWindowExA(window, NULL, "SHELLDLL_DefView", NULL);
    HWND listView = view != NULL ? FindWindowExA(view, NULL, "SysListView32", NULL) : NULL;
    if (listView == NULL)
        return TRUE;
    return AddListView(listView);
}

// The shell's own list views are left to the last pass.
static int BelongsToShell(HWND window)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    char image[LineBufferSize];
    ProcessImagePath(processId, image);
    SplitPath(image);
    return StrCmpNIA(g_Run.Parts.BaseName, "explorer", 8) == 0;
}

BOOL CALLBACK CollectForeignListView(HWND window, LPARAM unused)
{
    (void)unused;
    char className[ClassNameSize];
    if (!VisibleClassName(window, className))
        return TRUE;
    if (StrStrIA(className, "SysListView32") == NULL || BelongsToShell(window))
        return TRUE;
    return AddListView(window);
}

BOOL CALLBACK CollectAnyListView(HWND window, LPARAM unused)
{
    (void)unused;
    char className[ClassNameSize];
    if (!VisibleClassName(window, className))
        return TRUE;
    if (StrStrIA(className, "ListView") == NULL)
        return TRUE;
    return AddListView(window);
}

static void CollectListViews(HWND window)
{
    static const WNDENUMPROC passes[] = {CollectExplorerListView, CollectForeignListView,
                                         CollectAnyListView};
    ListViewTable* table = &g_Run.ListViews;
    table->Count = 0;
    for (int pass = 0; pass < 3 && table->Count < MaxListViews; pass++) {
        int before = table->Count;
        EnumChildWindows(window, passes[pass], 0);
        Trace("check: pass %d collected %d list views", pass + 1, table->Count - before);
    }
}

int CheckTargetWindow(HWND window)
{
    g_Run.WindowTitle[0] = '\0';
    GetWindowTextA(window, g_Run.WindowTitle, sizeof g_Run.WindowTitle);
    if (!IsWindowVisible(window) || lstrlenA(g_Run.WindowTitle) <= 0)
        return 0;
    if (!ResolveFolder(window))
        return 0;
    if (g_Run.SearchMode != FilerMode)
        return 1;
    CollectListViews(window);
    return g_Run.ListViews.Count > 0;
}

int ReadSelection(HWND window)
{
    if (!CheckTargetWindow(window))
        return 0;
    const ListViewTable* table = &g_Run.ListViews;
    for (int i = 0; i < table->Count; i++) {
        g_Run.CurrentListView = table->Windows[i];
        g_Run.ReadStatus = 0;
        int read = g_Run.IsNtFamily ? ReadListViewNt() : ReadListView9x();
        if (!read)
            return -1;
        if (g_Run.ReadStatus != -1)
            break;
    }
    return 1;
}
