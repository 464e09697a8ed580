// Turning the text of a list-view item into an absolute path.
#ifndef TAVIX_SELECTION_ITEMPATH_H
#define TAVIX_SELECTION_ITEMPATH_H

#include "../common/win32.h"

// 1 with path (PathBufferSize characters) set when the item names a special folder, or an existing
// folder or file in the CurrentFolder (also as a shortcut: the text + ".lnk", when the text has
// no extension); 0 when the item cannot be resolved.
int ResolveItemPath(const WCHAR* itemText, WCHAR* path);

// Resolves the text of the selected item index and appends its path to the SelectionList.
// An item that cannot be resolved sets ReadStatus to -1. Returns 1 to read on, 0 when the
// reading stops here (an item not resolved, or the 1000th path stored).
int StoreItemPath(int index, const WCHAR* itemText);

// After a read: the summary line for the stored items that had no line of their own.
void TraceStoredItemsLeftOut();

// When a reader stored no path, the CurrentFolder stands for the selection.
void StoreFolderWhenNoPath();

#endif
