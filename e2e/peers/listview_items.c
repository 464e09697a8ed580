/*
 * listview_items: describes the items of a list view in another process.
 *
 *   listview_items RESULT-FILE TOPLEVEL-HWND-HEX
 *
 * Finds the first visible descendant of class SysListView32 of the given top-level window and
 * writes one line per item:
 *   index <TAB> state (hex) <TAB> left top right bottom <TAB> text as hex bytes <TAB>
 *   text as UTF-16LE hex bytes
 * The first text is what LVM_GETITEMA gives (the list view's conversion to the ANSI code page),
 * the second what LVM_GETITEMW gives. The rectangle is the item's label rectangle in screen coordinates (its bounds where the
 * list view gives no label rectangle), so that a test can click the item for real.
 *
 * The item record is built in the list view's process (VirtualAllocEx, WriteProcessMemory,
 * SendMessage, ReadProcessMemory), so its layout must be that of the list view's process: run
 * the build whose bitness equals the target's. A list view of the other bitness refuses the
 * record; that, like every other failure, ends the program with a non-zero exit code and a
 * reason on stderr, and no result file.
 *
 * Exit codes: 0 done, 1 no list view or no access to its process, 2 usage or the result file,
 * 3 the list view did not answer an item.
 */
#include <windows.h>
#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define TEXT_MAX 1024
#define ANSWER_MS 5000
/* More items than any folder a test opens; bounds the work on a list view that claims more. */
#define ITEM_LIMIT 100000

/* The block this program uses inside the list view's process. */
typedef struct {
    LVITEMA item;
    LVITEMW itemW;
    RECT rect;
    char text[TEXT_MAX];
    WCHAR textW[TEXT_MAX];
} Remote;

typedef struct {
    HWND list;
    HANDLE process;
    Remote *remote; /* an address in the list view's process */
} Target;

static BOOL CALLBACK FindListProc(HWND hwnd, LPARAM param)
{
    char cls[64];
    if (GetClassNameA(hwnd, cls, sizeof cls) && strcmp(cls, WC_LISTVIEWA) == 0
        && IsWindowVisible(hwnd)) {
        *(HWND *)param = hwnd;
        return FALSE;
    }
    return TRUE;
}

static int Send(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT *answer)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(hwnd, msg, wp, lp, SMTO_ABORTIFHUNG, ANSWER_MS, &result))
        return 0;
    *answer = (LRESULT)result;
    return 1;
}

static int ReadItem(const Target *t, int index, LVITEMA *item, char *text)
{
    LVITEMA ask;
    memset(&ask, 0, sizeof ask);
    ask.mask = LVIF_TEXT | LVIF_STATE;
    ask.iItem = index;
    ask.stateMask = (UINT)-1;
    ask.pszText = t->remote->text;
    ask.cchTextMax = TEXT_MAX;
    LRESULT ok = 0;
    if (!WriteProcessMemory(t->process, &t->remote->item, &ask, sizeof ask, NULL)
        || !WriteProcessMemory(t->process, t->remote->text, "", 1, NULL)
        || !Send(t->list, LVM_GETITEMA, 0, (LPARAM)&t->remote->item, &ok) || !ok)
        return 0;
    if (!ReadProcessMemory(t->process, &t->remote->item, item, sizeof *item, NULL)
        || !ReadProcessMemory(t->process, t->remote->text, text, TEXT_MAX, NULL))
        return 0;
    text[TEXT_MAX - 1] = 0;
    return 1;
}

static int ReadItemW(const Target *t, int index, WCHAR *text)
{
    LVITEMW ask;
    memset(&ask, 0, sizeof ask);
    ask.mask = LVIF_TEXT;
    ask.iItem = index;
    ask.pszText = t->remote->textW;
    ask.cchTextMax = TEXT_MAX;
    static const WCHAR empty = 0;
    LRESULT ok = 0;
    if (!WriteProcessMemory(t->process, &t->remote->itemW, &ask, sizeof ask, NULL)
        || !WriteProcessMemory(t->process, t->remote->textW, &empty, sizeof empty, NULL)
        || !Send(t->list, LVM_GETITEMW, 0, (LPARAM)&t->remote->itemW, &ok) || !ok)
        return 0;
    if (!ReadProcessMemory(t->process, t->remote->textW, text, TEXT_MAX * sizeof *text, NULL))
        return 0;
    text[TEXT_MAX - 1] = 0;
    return 1;
}

static int ReadRect(const Target *t, int index, int part, RECT *rect)
{
    RECT ask;
    SetRect(&ask, part, 0, 0, 0);
    LRESULT ok = 0;
    if (!WriteProcessMemory(t->process, &t->remote->rect, &ask, sizeof ask, NULL)
        || !Send(t->list, LVM_GETITEMRECT, (WPARAM)index, (LPARAM)&t->remote->rect, &ok) || !ok)
        return 0;
    return ReadProcessMemory(t->process, &t->remote->rect, rect, sizeof *rect, NULL)
        && rect->right > rect->left && rect->bottom > rect->top;
}

static int ScreenRect(const Target *t, int index, RECT *rect)
{
    if (!ReadRect(t, index, LVIR_LABEL, rect) && !ReadRect(t, index, LVIR_BOUNDS, rect))
        return 0;
    POINT corners[2] = {{rect->left, rect->top}, {rect->right, rect->bottom}};
    ClientToScreen(t->list, &corners[0]);
    ClientToScreen(t->list, &corners[1]);
    SetRect(rect, corners[0].x, corners[0].y, corners[1].x, corners[1].y);
    return 1;
}

static int WriteItems(const Target *t, FILE *out)
{
    LRESULT count = 0;
    if (!Send(t->list, LVM_GETITEMCOUNT, 0, 0, &count)) {
        fprintf(stderr, "listview_items: the list view does not answer\n");
        return 3;
    }
    for (int i = 0; i < (int)count && i < ITEM_LIMIT; i++) {
        LVITEMA item;
        char text[TEXT_MAX];
        WCHAR textW[TEXT_MAX];
        RECT r;
        if (!ReadItem(t, i, &item, text) || !ReadItemW(t, i, textW) || !ScreenRect(t, i, &r)) {
            fprintf(stderr, "listview_items: item %d not answered (bitness differs?)\n", i);
            return 3;
        }
        fprintf(out, "%d\t%x\t%ld %ld %ld %ld\t", i, item.state, r.left, r.top, r.right, r.bottom);
        for (const char *p = text; *p; p++)
            fprintf(out, "%02x", (unsigned char)*p);
        fputc('\t', out);
        for (const WCHAR *p = textW; *p; p++)
            fprintf(out, "%02x%02x", *p & 0xff, (*p >> 8) & 0xff);
        fputc('\n', out);
    }
    return 0;
}

static int OpenTarget(HWND top, Target *t)
{
    memset(t, 0, sizeof *t);
    EnumChildWindows(top, FindListProc, (LPARAM)&t->list);
    if (!t->list) {
        fprintf(stderr, "listview_items: no visible list view in window %p\n", (void *)top);
        return 0;
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(t->list, &pid);
    t->process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE
                             | PROCESS_QUERY_INFORMATION, FALSE, pid);
    if (t->process)
        t->remote = VirtualAllocEx(t->process, NULL, sizeof(Remote), MEM_COMMIT | MEM_RESERVE,
                                   PAGE_READWRITE);
    if (!t->remote) {
        fprintf(stderr, "listview_items: no memory in process %lu (error %lu)\n",
                (unsigned long)pid, (unsigned long)GetLastError());
        return 0;
    }
    return 1;
}

static void CloseTarget(Target *t)
{
    if (t->remote)
        VirtualFreeEx(t->process, t->remote, 0, MEM_RELEASE);
    if (t->process)
        CloseHandle(t->process);
}

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: listview_items RESULT-FILE TOPLEVEL-HWND-HEX\n");
        return 2;
    }
    HWND top = (HWND)(ULONG_PTR)strtoul(argv[2], NULL, 16);
    Target t;
    int rc = 1;
    if (OpenTarget(top, &t)) {
        char partial[MAX_PATH + 16];
        snprintf(partial, sizeof partial, "%s.part", argv[1]);
        FILE *out = fopen(partial, "wb");
        rc = out ? WriteItems(&t, out) : 2;
        if (out)
            fclose(out);
        /* Renamed into place only when complete, so a reader never takes half a list. */
        if (rc == 0 && !MoveFileExA(partial, argv[1], MOVEFILE_REPLACE_EXISTING))
            rc = 2;
        if (rc != 0)
            DeleteFileA(partial);
    }
    CloseTarget(&t);
    return rc;
}
