// Reads: g_Run.CurrentFolder. Writes: g_Run.Selection, ReadStatus, Parts.
#include "ItemPath.h"

#include "../common/RunState.h"
#include "../common/SplitPath.h"
#include "../common/SystemText.h"
#include "../common/Text.h"
#include "../common/Trace.h"
#include "../window/FolderDisplayNames.h"

static const WCHAR ShortcutExtension[] = WTEXT(".lnk");

// A folder exists as a file does, so one question answers for both; only what no file check
// finds (a share named by its server alone) is asked again as a folder.
static int Exists(const WCHAR* candidate)
{
    return FileExists(candidate) || IsDirectory(candidate);
}

int ResolveItemPath(const WCHAR* itemText, WCHAR* path)
{
    // A candidate of 260 characters or more counts as not existing, so it is never formed.
    WCHAR candidate[LineBufferSize];
    LookupSpecialFolder(itemText, candidate);
    if (candidate[0] == 0) {
        // The folder, a backslash and the text ("%s\%s").
        if (TextLength(g_Run.CurrentFolder) + 1 + TextLength(itemText) >= PathBufferSize)
            return 0;
        TextJoin(candidate, LineBufferSize, g_Run.CurrentFolder, WTEXT("\\"));
        TextAppend(candidate, LineBufferSize, itemText);
    }
    int length = TextLength(candidate);
    if (length >= PathBufferSize)
        return 0;
    if (!Exists(candidate)) {
        SplitPath(candidate);
        if (g_Run.Parts.Extension[0] != 0)
            return 0;
        if (length + TextLength(ShortcutExtension) >= PathBufferSize)
            return 0;
        TextAppend(candidate, LineBufferSize, ShortcutExtension);
        if (!Exists(candidate))
            return 0;
    }
    TextCopy(path, PathBufferSize, candidate);
    return 1;
}

int StoreItemPath(int index, const WCHAR* itemText)
{
    SelectionList* list = &g_Run.Selection;
    if (!ResolveItemPath(itemText, list->Paths[list->Count])) {
        Trace("read: item %d \"%s\" cannot be resolved", index, itemText);
        g_Run.ReadStatus = -1;
        return 0;
    }
    if (TraceThisItem(list->Count))
        Trace("read: item %d \"%s\" is \"%s\"", index, itemText, list->Paths[list->Count]);
    list->Count++;
    return list->Count < MaxSelection;
}

void TraceStoredItemsLeftOut()
{
    TraceItemsLeftOut("read", g_Run.Selection.Count);
}

void StoreFolderWhenNoPath()
{
    if (g_Run.Selection.Count != 0)
        return;
    TextCopy(g_Run.Selection.Paths[0], PathBufferSize, g_Run.CurrentFolder);
    g_Run.Selection.Count = 1;
    Trace("read: no item path; the folder \"%s\" stands for the selection", g_Run.CurrentFolder);
}
