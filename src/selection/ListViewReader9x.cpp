// Writes: g_Run.Selection, ReadStatus. Reads: g_Run.CurrentListView, CurrentFolder.
//
// On Windows 98 and ME a mapping backed by the paging file is seen at the same address by
// every process, so the list view fills the item record in the program's own view of it. Every
// process there is a 32-bit one.
#include "ListViewReader9x.h"

#include "../common/ForeignMessages.h"
#include "../common/RunState.h"
#include "../common/SystemText.h"
#include "../common/Text.h"
#include "../common/Trace.h"
#include "ItemPath.h"
#include "ItemRecord.h"

enum { TextAreaSize9x = PathBufferSize, BlockSize9x = 40 + TextAreaSize9x };

enum WalkResult9x { Walk9xDone, Walk9xLost };

static int SendToListView(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* answer)
{
    return SendForeignMessage(g_Run.CurrentListView, message, wParam, lParam, answer);
}

static int WalkSelectedItems9x(BYTE* view)
{
    const ItemRecordLayout* layout = ItemRecordLayoutFor(0);
    BYTE* textArea = view + layout->Size;
    BuildItemRecord(view, layout, LVIF_TEXT, 0, (ULONG_PTR)textArea, TextAreaSize9x);
    int index = -1;
    for (;;) {
        LRESULT answer;
        if (!SendToListView(LVM_GETNEXTITEM, (WPARAM)(INT_PTR)index, LVNI_SELECTED, &answer))
            return Walk9xLost;
        index = (int)answer;
        if (index == -1)
            return Walk9xDone;
        SetItemRecordIndex(view, index);
        if (!SendToListView(LVM_GETITEMA, 0, (LPARAM)view, &answer))
            return Walk9xLost;
        // The text ends inside the area whether or not the list view ended it; a two-byte
        // character cut at its end is dropped.
        char area[TextAreaSize9x];
        CopyMemory(area, textArea, TextAreaSize9x);
        area[TextAreaSize9x - 1] = '\0';
        WCHAR text[TextAreaSize9x];
        WideFromAnsi(area, text, TextAreaSize9x);
        if (!StoreItemPath(index, text))
            return Walk9xDone;
    }
}

int ReadListView9x()
{
    g_Run.Selection.Count = 0;
    int walked = Walk9xDone;
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0,
                                        BlockSize9x, NULL);
    BYTE* view = NULL;
    if (mapping != NULL)
        view = (BYTE*)MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    if (view != NULL) {
        Trace("read: list view %08lX through a shared view", (unsigned long)(ULONG_PTR)g_Run.CurrentListView);
        walked = WalkSelectedItems9x(view);
        // A list view that stopped answering may still write into the view later.
        if (walked != Walk9xLost)
            UnmapViewOfFile(view);
    } else {
        Trace("read: no shared memory for the item record (error %lu)", (unsigned long)GetLastError());
    }
    if (mapping != NULL)
        CloseHandle(mapping);
    if (walked == Walk9xLost) {
        Trace("read: list view %08lX stopped answering; nothing is read",
              (unsigned long)(ULONG_PTR)g_Run.CurrentListView);
        return 0;
    }
    // Here a read without any path counts as a failure, so the next list view is tried.
    if (g_Run.Selection.Count == 0)
        g_Run.ReadStatus = -1;
    TraceStoredItemsLeftOut();
    StoreFolderWhenNoPath();
    Trace("read: %d paths, status %d", g_Run.Selection.Count, g_Run.ReadStatus);
    return 1;
}
