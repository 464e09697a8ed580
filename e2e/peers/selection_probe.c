/*
 * selection_probe: measures what reading the selection of a list view in another process
 * costs, one kind of step at a time, as Tavix takes those steps.
 *
 *   selection_probe RESULT-FILE TOPLEVEL-HWND-HEX FOLDER
 *
 * Finds the first visible SysListView32 below the given window, walks its selected items with
 * LVM_GETNEXTITEM and times, over all of them, each step of an item-by-item read (the message
 * that finds the next selected item, the write of the item record, LVM_GETITEMW, the two reads
 * back, the two file checks of FOLDER\text, a trace line through OutputDebugStringW) and the
 * steps of a batched read (one write of every record, the item messages, one read of the whole
 * block). Writes lines "step <TAB> count <TAB> total microseconds <TAB> microseconds per call".
 *
 * Build it with the bitness of the list view's process, as listview_items: the record layout
 * is the program's own.
 *
 * Exit codes: 0 done, 1 no list view, no access or no memory, 2 usage or the result file,
 * 3 the list view did not answer.
 */
#include <windows.h>
#include <commctrl.h>
#include <shlwapi.h>
#include <stdio.h>
#include <stdlib.h>

#define TEXT_CHARS 520
#define MAX_ITEMS 1000
#define ANSWER_MS 5000

typedef struct {
    LVITEMW item;
    WCHAR text[TEXT_CHARS];
} Slot;

static HWND g_list;
static LARGE_INTEGER g_frequency;
static FILE *g_out;

static BOOL CALLBACK FindListProc(HWND hwnd, LPARAM param)
{
    char name[64];
    (void)param;
    if (GetClassNameA(hwnd, name, sizeof name) && lstrcmpiA(name, "SysListView32") == 0
        && IsWindowVisible(hwnd)) {
        g_list = hwnd;
        return FALSE;
    }
    return TRUE;
}

static double Now(void)
{
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart * 1e6 / (double)g_frequency.QuadPart;
}

static void Report(const char *step, int count, double micros)
{
    fprintf(g_out, "%s\t%d\t%.0f\t%.1f\n", step, count, micros, count ? micros / count : 0.0);
}

static int g_answered;

static VOID CALLBACK Answered(HWND hwnd, UINT message, ULONG_PTR data, LRESULT result)
{
    (void)hwnd; (void)message; (void)data; (void)result;
    g_answered++;
}

/* Sends count messages at once with SendMessageCallbackW and waits for every answer. */
static void Pipeline(UINT message, const LPARAM *params, int count)
{
    g_answered = 0;
    for (int i = 0; i < count; i++)
        if (!SendMessageCallbackW(g_list, message, 0, params[i], Answered, (ULONG_PTR)i)) {
            fprintf(stderr, "selection_probe: SendMessageCallbackW failed (%lu)\n",
                    GetLastError());
            exit(3);
        }
    DWORD start = GetTickCount();
    while (g_answered < count) {
        MSG msg;
        while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        if (g_answered >= count)
            break;
        if (GetTickCount() - start > ANSWER_MS) {
            fprintf(stderr, "selection_probe: %d of %d answers\n", g_answered, count);
            exit(3);
        }
        MsgWaitForMultipleObjects(0, NULL, FALSE, 100, QS_ALLINPUT);
    }
}

static LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(g_list, message, wParam, lParam, SMTO_ABORTIFHUNG, ANSWER_MS,
                             &result)) {
        fprintf(stderr, "selection_probe: message %04X not answered\n", message);
        exit(3);
    }
    return (LRESULT)result;
}

int main(int argc, char **argv)
{
    static int indices[MAX_ITEMS];
    static Slot local[MAX_ITEMS];
    static WCHAR folder[MAX_PATH];
    int count = 0, i;
    double t;
    DWORD pid = 0;
    HANDLE process;
    Slot *remote;
    SIZE_T moved;

    if (argc != 4) {
        fprintf(stderr, "usage: selection_probe RESULT-FILE TOPLEVEL-HWND-HEX FOLDER\n");
        return 2;
    }
    QueryPerformanceFrequency(&g_frequency);
    EnumChildWindows((HWND)(ULONG_PTR)strtoul(argv[2], NULL, 16), FindListProc, 0);
    if (!g_list) {
        fprintf(stderr, "selection_probe: no list view\n");
        return 1;
    }
    MultiByteToWideChar(CP_ACP, 0, argv[3], -1, folder, MAX_PATH);
    GetWindowThreadProcessId(g_list, &pid);
    process = OpenProcess(0x38, FALSE, pid);
    if (!process) {
        fprintf(stderr, "selection_probe: process %lu cannot be opened\n", pid);
        return 1;
    }
    g_out = fopen(argv[1], "w");
    if (!g_out)
        return 2;

    t = Now();
    remote = VirtualAllocEx(process, NULL, sizeof local, MEM_COMMIT | MEM_RESERVE,
                            PAGE_READWRITE);
    Report("VirtualAllocEx", 1, Now() - t);
    if (!remote) {
        fprintf(stderr, "selection_probe: no memory in process %lu\n", pid);
        return 1;
    }

    t = Now();
    for (int previous = -1; count < MAX_ITEMS; count++) {
        previous = (int)Send(LVM_GETNEXTITEM, (WPARAM)previous, LVNI_SELECTED);
        if (previous < 0)
            break;
        indices[count] = previous;
    }
    Report("LVM_GETNEXTITEM", count + 1, Now() - t);

    t = Now();
    Send(LVM_GETITEMCOUNT, 0, 0);
    Report("LVM_GETITEMCOUNT", 1, Now() - t);

    /* Item by item: one record at the start of the block. */
    ZeroMemory(local, sizeof local);
    for (i = 0; i < count; i++) {
        local[i].item.mask = LVIF_TEXT | LVIF_STATE;
        local[i].item.stateMask = LVIS_SELECTED;
        local[i].item.iItem = indices[i];
        local[i].item.pszText = remote[i].text;
        local[i].item.cchTextMax = TEXT_CHARS;
    }
    double write = 0, message = 0, readText = 0, readRecord = 0;
    for (i = 0; i < count; i++) {
        LVITEMW one = local[i].item;
        one.pszText = remote[0].text;
        t = Now();
        WriteProcessMemory(process, &remote[0].item, &one, sizeof one, &moved);
        write += Now() - t;
        t = Now();
        Send(LVM_GETITEMW, 0, (LPARAM)&remote[0].item);
        message += Now() - t;
        t = Now();
        ReadProcessMemory(process, remote[0].text, local[i].text, sizeof local[i].text, &moved);
        readText += Now() - t;
        t = Now();
        ReadProcessMemory(process, &remote[0].item, &one, sizeof one, &moved);
        readRecord += Now() - t;
    }
    Report("WriteProcessMemory record", count, write);
    Report("LVM_GETITEMW", count, message);
    Report("ReadProcessMemory text", count, readText);
    Report("ReadProcessMemory record", count, readRecord);

    /* The file checks and a trace line per item. */
    double isDirectory = 0, exists = 0, lnk = 0, trace = 0, format = 0;
    for (i = 0; i < count; i++) {
        WCHAR path[2 * MAX_PATH], line[1100];
        wsprintfW(path, L"%s\\%s", folder, local[i].text);
        t = Now();
        PathIsDirectoryW(path);
        isDirectory += Now() - t;
        t = Now();
        PathFileExistsW(path);
        exists += Now() - t;
        lstrcatW(path, L".lnk");
        t = Now();
        PathFileExistsW(path);
        lnk += Now() - t;
        t = Now();
        wsprintfW(line, L"Tavix: read: item %d \"%s\" is \"%s\"", indices[i], local[i].text, path);
        format += Now() - t;
        t = Now();
        OutputDebugStringW(line);
        trace += Now() - t;
    }
    Report("PathIsDirectoryW", count, isDirectory);
    Report("PathFileExistsW", count, exists);
    Report("PathFileExistsW missing", count, lnk);
    Report("wsprintfW trace line", count, format);
    Report("OutputDebugStringW", count, trace);

    /* Batched: every record written at once, the messages, the whole block read at once. */
    t = Now();
    WriteProcessMemory(process, remote, local, count * sizeof(Slot), &moved);
    Report("WriteProcessMemory batch", 1, Now() - t);
    t = Now();
    for (i = 0; i < count; i++)
        Send(LVM_GETITEMW, 0, (LPARAM)&remote[i].item);
    Report("LVM_GETITEMW batch", count, Now() - t);
    t = Now();
    ReadProcessMemory(process, remote, local, count * sizeof(Slot), &moved);
    Report("ReadProcessMemory batch", 1, Now() - t);

    t = Now();
    for (i = 0; i < count; i++) {
        DWORD_PTR result;
        SendMessageW(g_list, LVM_GETITEMW, 0, (LPARAM)&remote[i].item);
        (void)result;
    }
    Report("LVM_GETITEMW SendMessageW", count, Now() - t);
    {
        static LPARAM params[MAX_ITEMS];
        for (i = 0; i < count; i++)
            params[i] = (LPARAM)&remote[i].item;
        t = Now();
        Pipeline(LVM_GETITEMW, params, count);
        Report("LVM_GETITEMW pipelined", count, Now() - t);
        ReadProcessMemory(process, remote, local, count * sizeof(Slot), &moved);
        int good = 0;
        for (i = 0; i < count; i++)
            good += local[i].text[0] != 0 && (local[i].item.state & LVIS_SELECTED);
        Report("pipelined answers with text", good, 0);
        t = Now();
        for (i = 0; i < count; i += 64)
            Pipeline(LVM_GETITEMW, params + i, count - i < 64 ? count - i : 64);
        Report("LVM_GETITEMW pipelined by 64", count, Now() - t);
        t = Now();
        for (i = 0; i < count; i++) {
            DWORD_PTR result;
            SendMessageTimeoutW(g_list, LVM_GETITEMW, 0, params[i], SMTO_NORMAL, ANSWER_MS,
                                &result);
        }
        Report("LVM_GETITEMW SMTO_NORMAL", count, Now() - t);
        for (int size = 64; size <= 1024; size *= 4) {
            char label[64];
            t = Now();
            for (i = 0; i < count; i += size) {
                int n = count - i < size ? count - i : size;
                for (int j = 0; j < n; j++)
                    SendNotifyMessageW(g_list, LVM_GETITEMW, 0, params[i + j]);
                Send(LVM_GETITEMCOUNT, 0, 0);
            }
            wsprintfA(label, "LVM_GETITEMW notify by %d", size);
            Report(label, count, Now() - t);
        }
    }

    t = Now();
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    Report("VirtualFreeEx", 1, Now() - t);
    CloseHandle(process);
    fclose(g_out);
    return 0;
}
