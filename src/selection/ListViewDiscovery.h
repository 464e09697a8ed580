// Whether a window qualifies, the list views inside it, and reading them in turn.
#ifndef TAVIX_SELECTION_LISTVIEWDISCOVERY_H
#define TAVIX_SELECTION_LISTVIEWDISCOVERY_H

#include "../common/win32.h"

// 1 when the window is visible, has a title and shows a folder (CurrentFolder is then set);
// in FilerMode it must also hold a list view, and the ListViewTable is rebuilt. Else 0.
int CheckTargetWindow(HWND window);

// FilerMode: 1 when the SelectionList was filled from one of the window's list views; 0 when
// the window does not qualify; -1 when a list view's process cannot be read, which ends the run.
int ReadSelection(HWND window);

// EnumChildWindows callbacks of the three collection passes.
BOOL CALLBACK CollectExplorerListView(HWND window, LPARAM unused);
BOOL CALLBACK CollectForeignListView(HWND window, LPARAM unused);
BOOL CALLBACK CollectAnyListView(HWND window, LPARAM unused);

#endif
