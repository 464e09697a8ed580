// Reads: g_Run.CurrentFolder. Writes: g_Run.Selection, ReadStatus, Parts.
#include "ItemPath.h"

#include "../common/RunState.h"
#include "../common/SplitPath.h"
#include "../common/Text.h"
#include "../common/Trace.h"
#include "../window/FolderDisplayNames.h"

static const char ShortcutExtension[] = ".lnk";

static int Exists(const char* candidate)
{
    return PathIsDirectoryA(candidate) || PathFileExistsA(candidate);
}

int ResolveItemPath(const char* itemText, char* path)
{
    // A candidate of 260 characters or more counts as not existing, so it is never formed.
    char candidate[LineBufferSize];
    LookupSpecialFolder(itemText, candidate);
    if (candidate[0] == '\0') {
        if (lstrlenA(g_Run.CurrentFolder) + 1 + lstrlenA(itemText) >= PathBufferSize)
            return 0;
        wsprintfA(candidate, "%s\\%s", g_Run.CurrentFolder, itemText);
    }
    int length = lstrlenA(candidate);
    if (length >= PathBufferSize)
        return 0;
    if (!Exists(candidate)) {
        SplitPath(candidate);
        if (g_Run.Parts.Extension[0] != '\0')
            return 0;
        if (length + lstrlenA(ShortcutExtension) >= PathBufferSize)
            return 0;
        lstrcatA(candidate, ShortcutExtension);
        if (!Exists(candidate))
            return 0;
    }
    TextCopy(path, PathBufferSize, candidate);
    return 1;
}

int StoreItemPath(int index, const char* itemText)
{
    SelectionList* list = &g_Run.Selection;
    if (!ResolveItemPath(itemText, list->Paths[list->Count])) {
        Trace("read: item %d \"%s\" cannot be resolved", index, itemText);
        g_Run.ReadStatus = -1;
        return 0;
    }
    Trace("read: item %d \"%s\" is \"%s\"", index, itemText, list->Paths[list->Count]);
    list->Count++;
    return list->Count < MaxSelection;
}

void StoreFolderWhenNoPath()
{
    if (g_Run.Selection.Count != 0)
        return;
    TextCopy(g_Run.Selection.Paths[0], PathBufferSize, g_Run.CurrentFolder);
    g_Run.Selection.Count = 1;
    Trace("read: no item path; the folder \"%s\" stands for the selection", g_Run.CurrentFolder);
}
