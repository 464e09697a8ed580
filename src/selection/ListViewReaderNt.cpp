// Writes: g_Run.Selection, ReadStatus. Reads: g_Run.CurrentListView, CurrentFolder.
//
// The item records and their text areas (the item block) live in the list view's process: the
// records are written there, the list view is asked to fill them, and the answers are read
// back. The text is asked for in UTF-16 (LVM_GETITEMW): in the ANSI form the list view would
// turn a name outside the code page into a look-alike, which may name another file.
// Only the selected items are asked for, found with LVM_GETNEXTITEM; a list view whose answers
// are not increasing item indices is read item by item instead, which gives the same result.
//
// Every message to another process costs a round trip through the system, and with a large
// selection those dominate the run. So where the selected items lie next to each other, many of
// them are asked at once: their records go into the block with one write, the list view gets
// one message per item without a wait for each (and one that is waited for, which comes back
// when it has handled them all), and the answers come back with one read. The batch doubles
// while the list view's selection goes on item after item, and falls back to one item as soon
// as it does not, so a scattered selection costs what it costs item by item.
#include "ListViewReaderNt.h"

#include "../common/DynamicCalls.h"
#include "../common/ForeignMessages.h"
#include "../common/RunState.h"
#include "../common/SystemText.h"
#include "../common/Text.h"
#include "../common/Trace.h"
#include "ItemPath.h"
#include "ItemRecord.h"

// Each text area holds TextAreaChars UTF-16 characters.
enum { TextAreaChars = LineBufferSize, TextAreaBytes = TextAreaChars * sizeof(WCHAR) };

enum { MaxSlotSize = MaxItemRecordSize + TextAreaBytes };

// Written as the first character of every text area of a batch. A list view that handles an
// item writes its text (at least the terminating zero) over it, or a state, so a slot that
// still holds it with state 0 is one whose answer cannot be told from the slot alone.
static const WCHAR UnansweredMark = 0xFFFF;

// PROCESS_VM_OPERATION, PROCESS_VM_READ and PROCESS_VM_WRITE.
static const DWORD ItemBlockAccess = 0x38;

// The program's copy of a batch's slots: too large for the stack.
static BYTE g_BatchCopy[ItemBatchLimit * MaxSlotSize];

struct ItemExchange {
    RemoteMemoryCalls Calls;
    HANDLE Process;
    BYTE* Block;                       // an address in the list view's process
    const ItemRecordLayout* Layout;
    int SlotSize;                      // a record and its text area
    int BatchLimit;                    // slots in the block
    BYTE Request[MaxItemRecordSize];
    int MessageLost;                   // a message to the list view went unanswered
};

enum TakeResult { TakeGoOn, TakeStop, TakeLost };
enum WalkResult { WalkDone, WalkLost, WalkUnordered };

static BYTE* RemoteSlot(const ItemExchange* x, int slot)
{
    return x->Block + (SIZE_T)slot * x->SlotSize;
}

// The block for batchLimit slots; when the list view's process cannot give that much, one slot.
static int AllocateItemBlock(ItemExchange* x, int batchLimit)
{
    x->SlotSize = x->Layout->Size + TextAreaBytes;
    for (;;) {
        x->BatchLimit = batchLimit;
        x->Block = (BYTE*)x->Calls.Allocate(x->Process, NULL, (SIZE_T)batchLimit * x->SlotSize,
                                            MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (x->Block != NULL || batchLimit == 1)
            return x->Block != NULL;
        batchLimit = 1;
    }
}

static int OpenItemExchange(ItemExchange* x, int batchLimit)
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
    if (!AllocateItemBlock(x, batchLimit)) {
        Trace("read: no memory in process %lu (error %lu)", (unsigned long)processId,
              (unsigned long)GetLastError());
        CloseHandle(x->Process);
        return 0;
    }
    x->MessageLost = 0;
    BuildItemRecord(x->Request, x->Layout, LVIF_TEXT | LVIF_STATE, LVIS_SELECTED,
                    (ULONG_PTR)(x->Block + x->Layout->Size), TextAreaChars);
    Trace("read: list view %08lX of process %lu (%d-bit), %d items at once",
          (unsigned long)(ULONG_PTR)g_Run.CurrentListView, (unsigned long)processId,
          is64Bit ? 64 : 32, x->BatchLimit);
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

// Whole writes and reads only: a part of a record or text is of no use.
static int WriteAll(ItemExchange* x, BYTE* to, const void* from, SIZE_T size)
{
    SIZE_T moved = 0;
    return WriteProcessMemory(x->Process, to, from, size, &moved) && moved == size;
}

static int ReadAll(ItemExchange* x, const BYTE* from, void* to, SIZE_T size)
{
    SIZE_T moved = 0;
    return ReadProcessMemory(x->Process, from, to, size, &moved) && moved == size;
}

// Asks the list view for one item through the given slot and waits for its answer. *selected
// tells whether it is a selected item whose text is now in text; TakeLost when the list view or
// its process can no longer be reached.
static int AskItem(ItemExchange* x, int slot, int index, WCHAR* text, int* selected)
{
    *selected = 0;
    BYTE* record = RemoteSlot(x, slot);
    SetItemRecordIndex(x->Request, index);
    SetItemRecordText(x->Request, x->Layout, (ULONG_PTR)(record + x->Layout->Size));
    if (!WriteAll(x, record, x->Request, x->Layout->Size))
        return TakeLost;
    LRESULT answer;
    if (!SendToListView(x, LVM_GETITEMW, 0, (LPARAM)record, &answer))
        return TakeLost;
    if (answer != TRUE)
        return TakeGoOn;   // the list view refused the item
    WCHAR area[TextAreaChars];
    BYTE back[MaxItemRecordSize];
    if (!ReadAll(x, record + x->Layout->Size, area, sizeof area) ||
        !ReadAll(x, record, back, x->Layout->Size))
        return TakeLost;
    if (!(ItemRecordState(back) & LVIS_SELECTED))
        return TakeGoOn;
    // The text comes from another program: it ends inside the area whether or not it did.
    TextCopyFromArea(text, TextAreaChars, area, TextAreaChars);
    *selected = 1;
    return TakeGoOn;
}

// Stores the item's path when it is selected.
static int TakeAnswer(int index, const WCHAR* text, int selected, int* allSelected)
{
    if (!selected) {
        *allSelected = 0;
        return TakeGoOn;
    }
    return StoreItemPath(index, text) ? TakeGoOn : TakeStop;
}

static int TakeItemsOneByOne(ItemExchange* x, int first, int count, int* allSelected)
{
    for (int i = 0; i < count; i++) {
        WCHAR text[TextAreaChars];
        int selected;
        if (AskItem(x, i, first + i, text, &selected) == TakeLost)
            return TakeLost;
        if (TakeAnswer(first + i, text, selected, allSelected) == TakeStop)
            return TakeStop;
    }
    return TakeGoOn;
}

// Items first to first + count - 1 through the first count slots, asked at once.
static int TakeBatch(ItemExchange* x, int first, int count, int* allSelected)
{
    const int recordSize = x->Layout->Size;
    SIZE_T bytes = (SIZE_T)count * x->SlotSize;
    LPARAM records[ItemBatchLimit];
    ZeroMemory(g_BatchCopy, bytes);
    for (int i = 0; i < count; i++) {
        BYTE* slot = g_BatchCopy + (SIZE_T)i * x->SlotSize;
        CopyMemory(slot, x->Request, recordSize);
        SetItemRecordIndex(slot, first + i);
        SetItemRecordText(slot, x->Layout, (ULONG_PTR)(RemoteSlot(x, i) + recordSize));
        CopyMemory(slot + recordSize, &UnansweredMark, sizeof UnansweredMark);
        records[i] = (LPARAM)RemoteSlot(x, i);
    }
    if (!WriteAll(x, x->Block, g_BatchCopy, bytes))
        return TakeLost;
    int handed = NotifyForeignWindow(g_Run.CurrentListView, LVM_GETITEMW, 0, records, count);
    // The answer to this message comes back when the list view has handled those before it.
    LRESULT answer;
    if (!SendToListView(x, LVM_GETITEMCOUNT, 0, 0, &answer))
        return TakeLost;
    if (!handed) {
        Trace("read: list view %08lX cannot be handed items at once; asking one by one",
              (unsigned long)(ULONG_PTR)g_Run.CurrentListView);
        x->BatchLimit = 1;
        return TakeItemsOneByOne(x, first, count, allSelected);
    }
    if (!ReadAll(x, x->Block, g_BatchCopy, bytes))
        return TakeLost;
    for (int i = 0; i < count; i++) {
        const BYTE* slot = g_BatchCopy + (SIZE_T)i * x->SlotSize;
        WCHAR area[TextAreaChars];
        CopyMemory(area, slot + recordSize, sizeof area);
        UINT state = ItemRecordState(slot);
        WCHAR text[TextAreaChars];
        int selected = 0;
        if (state == 0 && area[0] == UnansweredMark) {
            // Refused, or not told apart from refused: asked again, and its answer waited for.
            if (AskItem(x, i, first + i, text, &selected) == TakeLost)
                return TakeLost;
        } else if (state & LVIS_SELECTED) {
            TextCopyFromArea(text, TextAreaChars, area, TextAreaChars);
            selected = 1;
        }
        if (TakeAnswer(first + i, text, selected, allSelected) == TakeStop)
            return TakeStop;
    }
    return TakeGoOn;
}

// Reads items first to first + count - 1 and stores the paths of the selected ones; clears
// *allSelected when one of them is not selected.
static int TakeItems(ItemExchange* x, int first, int count, int* allSelected)
{
    *allSelected = 1;
    if (count > 1)
        return TakeBatch(x, first, count, allSelected);
    return TakeItemsOneByOne(x, first, count, allSelected);
}

static int Smaller(int a, int b)
{
    return a < b ? a : b;
}

// The selected items, in the order LVM_GETNEXTITEM gives them. Each answer starts a batch: of
// one item, or of twice the last one when the last batch was selected throughout and this
// answer is the item right after it.
static int WalkSelectedItems(ItemExchange* x, int itemCount)
{
    int previous = -1;
    int batch = 1;
    int allSelected = 0;
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
        batch = allSelected && index == previous + 1 ? Smaller(batch * 2, x->BatchLimit) : 1;
        int count = Smaller(batch, itemCount - index);
        int taken = TakeItems(x, index, count, &allSelected);
        if (taken == TakeLost)
            return WalkLost;
        if (taken == TakeStop)
            return WalkDone;
        previous = index + count - 1;
    }
}

static int ScanEveryItem(ItemExchange* x, int itemCount)
{
    for (int index = 0; index < itemCount;) {
        int count = Smaller(x->BatchLimit, itemCount - index);
        int allSelected;
        int taken = TakeItems(x, index, count, &allSelected);
        if (taken == TakeLost)
            return WalkLost;
        if (taken == TakeStop)
            break;
        index += count;
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

int ReadListViewNtInBatchesOf(int batchLimit)
{
    if (batchLimit < 1 || batchLimit > ItemBatchLimit)
        batchLimit = ItemBatchLimit;
    ItemExchange x;
    if (!OpenItemExchange(&x, batchLimit))
        return 0;
    g_Run.Selection.Count = 0;
    int read = ReadItems(&x);
    CloseItemExchange(&x);
    if (read == WalkLost) {
        Trace("read: list view %08lX stopped answering or its process ended; nothing is read",
              (unsigned long)(ULONG_PTR)g_Run.CurrentListView);
        return 0;
    }
    TraceStoredItemsLeftOut();
    StoreFolderWhenNoPath();
    Trace("read: %d paths, status %d", g_Run.Selection.Count, g_Run.ReadStatus);
    return 1;
}

int ReadListViewNt()
{
    return ReadListViewNtInBatchesOf(ItemBatchLimit);
}
