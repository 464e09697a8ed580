// Writes: g_Run.Selection, ReadStatus. Reads: g_Run.CurrentListView, CurrentFolder.
//
// The item record and its text area (the item block) live in the list view's process: the
// record is written there, the list view is asked to fill it, and the answer is read back.
// The text is asked for in UTF-16 (LVM_GETITEMW): in the ANSI form the list view would turn a
// name outside the code page into a look-alike, which may name another file.
// Only the selected items are asked for, found with LVM_GETNEXTITEM; a list view whose answers
// are not increasing item indices is read item by item instead, which gives the same result.
#include "ListViewReaderNt.h"

#include "../common/DynamicCalls.h"
#include "../common/ForeignMessages.h"
#include "../common/RunState.h"
#include "../common/SystemText.h"
#include "../common/Text.h"
#include "../common/Trace.h"
#include "ItemPath.h"
#include "ItemRecord.h"

// The text area holds TextAreaChars UTF-16 characters.
enum { TextAreaChars = LineBufferSize, TextAreaBytes = TextAreaChars * sizeof(WCHAR) };

// PROCESS_VM_OPERATION, PROCESS_VM_READ and PROCESS_VM_WRITE.
static const DWORD ItemBlockAccess = 0x38;

struct ItemExchange {
    RemoteMemoryCalls Calls;
    HANDLE Process;
    BYTE* Block;                       // an address in the list view's process
    const ItemRecordLayout* Layout;
    BYTE Request[MaxItemRecordSize];
    int MessageLost;                   // a message to the list view went unanswered
};

enum TakeResult { TakeGoOn, TakeStop, TakeLost };
enum WalkResult { WalkDone, WalkLost, WalkUnordered };

static int OpenItemExchange(ItemExchange* x)
{
    if (!FindRemoteMemoryCalls(&x->Calls)) {
        Trace("read: this system cannot allocate memory in another process");
        return 0;
    }
    DWORD processId = 0;
    GetWindowThreadProcessId(g_Run.CurrentListView, &processId);
    x->Process = OpenProcess(ItemBlockAccess, FALSE, processId);
    if (x->Process == NULL) {
        Trace("read: process %lu of list view %08lX cannot be opened (error %lu)",
              (unsigned long)processId, (unsigned long)(ULONG_PTR)g_Run.CurrentListView,
              (unsigned long)GetLastError());
        return 0;
    }
    int is64Bit = ProcessIs64Bit(processId);
    if (is64Bit < 0) {
        Trace("read: the bitness of process %lu cannot be told; its list view is not read",
              (unsigned long)processId);
        CloseHandle(x->Process);
        return 0;
    }
    x->Layout = ItemRecordLayoutFor(is64Bit);
    x->Block = (BYTE*)x->Calls.Allocate(x->Process, NULL, x->Layout->Size + TextAreaBytes,
                                        MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (x->Block == NULL) {
        Trace("read: no memory in process %lu (error %lu)", (unsigned long)processId,
              (unsigned long)GetLastError());
        CloseHandle(x->Process);
        return 0;
    }
    x->MessageLost = 0;
    BuildItemRecord(x->Request, x->Layout, LVIF_TEXT | LVIF_STATE, LVIS_SELECTED,
                    (ULONG_PTR)(x->Block + x->Layout->Size), TextAreaChars);
    Trace("read: list view %08lX of process %lu (%d-bit)",
          (unsigned long)(ULONG_PTR)g_Run.CurrentListView, (unsigned long)processId,
          is64Bit ? 64 : 32);
    return 1;
}

// A list view that stopped answering may still fill the block later, so after a lost message
// the block stays where it is. A read that ended because the block could not be written or read
// leaves nothing pending in it.
static void CloseItemExchange(ItemExchange* x)
{
    if (!x->MessageLost)
        x->Calls.Release(x->Process, x->Block, 0, MEM_RELEASE);
    CloseHandle(x->Process);
}

static int SendToListView(ItemExchange* x, UINT message, WPARAM wParam, LPARAM lParam,
                          LRESULT* answer)
{
    if (SendForeignMessage(g_Run.CurrentListView, message, wParam, lParam, answer))
        return 1;
    x->MessageLost = 1;
    return 0;
}

// Asks the list view for one item. *selected tells whether it is a selected item whose text
// is now in text; TakeLost when the list view or its process can no longer be reached.
static int AskItem(ItemExchange* x, int index, WCHAR* text, int* selected)
{
    *selected = 0;
    SIZE_T moved = 0;
    SetItemRecordIndex(x->Request, index);
    if (!WriteProcessMemory(x->Process, x->Block, x->Request, x->Layout->Size, &moved) ||
        moved != (SIZE_T)x->Layout->Size)
        return TakeLost;
    LRESULT answer;
    if (!SendToListView(x, LVM_GETITEMW, 0, (LPARAM)x->Block, &answer))
        return TakeLost;
    if (answer != TRUE)
        return TakeGoOn;   // the list view refused the item
    WCHAR area[TextAreaChars];
    BYTE back[MaxItemRecordSize];
    if (!ReadProcessMemory(x->Process, x->Block + x->Layout->Size, area, sizeof area, &moved) ||
        moved != sizeof area)
        return TakeLost;
    if (!ReadProcessMemory(x->Process, x->Block, back, x->Layout->Size, &moved) ||
        moved != (SIZE_T)x->Layout->Size)
        return TakeLost;
    if (!(ItemRecordState(back) & LVIS_SELECTED))
        return TakeGoOn;
    // The text comes from another program: it ends inside the area whether or not it did.
    TextCopyFromArea(text, TextAreaChars, area, TextAreaChars);
    *selected = 1;
    return TakeGoOn;
}

// Reads one item and stores its path when it is selected.
static int TakeItem(ItemExchange* x, int index)
{
    WCHAR text[TextAreaChars];
    int selected;
    if (AskItem(x, index, text, &selected) == TakeLost)
        return TakeLost;
    if (!selected)
        return TakeGoOn;
    return StoreItemPath(index, text) ? TakeGoOn : TakeStop;
}

// The selected items, in the order LVM_GETNEXTITEM gives them.
static int WalkSelectedItems(ItemExchange* x, int itemCount)
{
    int previous = -1;
    for (;;) {
        LRESULT answer;
        if (!SendToListView(x, LVM_GETNEXTITEM, (WPARAM)(INT_PTR)previous, LVNI_SELECTED, &answer))
            return WalkLost;
        int index = (int)answer;
        if (index == -1)
            return WalkDone;
        if (index <= previous || index >= itemCount) {
            Trace("read: LVM_GETNEXTITEM answered %d after %d of %d items; reading every item",
                  index, previous, itemCount);
            return WalkUnordered;
        }
        previous = index;
        int taken = TakeItem(x, index);
        if (taken == TakeLost)
            return WalkLost;
        if (taken == TakeStop)
            return WalkDone;
    }
}

static int ScanEveryItem(ItemExchange* x, int itemCount)
{
    for (int index = 0; index < itemCount; index++) {
        int taken = TakeItem(x, index);
        if (taken == TakeLost)
            return WalkLost;
        if (taken == TakeStop)
            break;
    }
    return WalkDone;
}

static int ReadItems(ItemExchange* x)
{
    LRESULT answer;
    if (!SendToListView(x, LVM_GETITEMCOUNT, 0, 0, &answer))
        return WalkLost;
    int itemCount = (int)answer;
    Trace("read: %d items", itemCount);
    int walked = WalkSelectedItems(x, itemCount);
    if (walked != WalkUnordered)
        return walked;
    g_Run.Selection.Count = 0;
    return ScanEveryItem(x, itemCount);
}

int ReadListViewNt()
{
    ItemExchange x;
    if (!OpenItemExchange(&x))
        return 0;
    g_Run.Selection.Count = 0;
    int read = ReadItems(&x);
    CloseItemExchange(&x);
    if (read == WalkLost) {
        Trace("read: list view %08lX stopped answering or its process ended; nothing is read",
              (unsigned long)(ULONG_PTR)g_Run.CurrentListView);
        return 0;
    }
    StoreFolderWhenNoPath();
    Trace("read: %d paths, status %d", g_Run.Selection.Count, g_Run.ReadStatus);
    return 1;
}
