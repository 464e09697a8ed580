/*
 * window_lister: lists the top-level windows, one per line, optionally only those of a class.
 *
 *   window_lister RESULT-FILE [CLASS]
 *
 * Each line reads: class <TAB> visible (0/1) <TAB> process id <TAB> title as hex bytes <TAB>
 * window handle (hex) <TAB> title as UTF-16LE hex bytes. The first title is GetWindowTextA's
 * (the system's conversion to the ANSI code page), the second GetWindowTextW's.
 * Lets a test prove that a program left no window behind, and describe the screen when a run
 * does not end as expected.
 */
#include <windows.h>
#include <stdio.h>

typedef struct {
    FILE *out;
    const char *onlyClass;
} ListState;

static BOOL CALLBACK ListProc(HWND hwnd, LPARAM param)
{
    ListState *st = (ListState *)param;
    char cls[256] = "", title[1024];
    WCHAR titleW[1024];
    GetClassNameA(hwnd, cls, sizeof cls);
    if (st->onlyClass && lstrcmpiA(cls, st->onlyClass) != 0)
        return TRUE;
    int len = GetWindowTextA(hwnd, title, sizeof title);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    fprintf(st->out, "%s\t%d\t%lu\t", cls, IsWindowVisible(hwnd) ? 1 : 0, (unsigned long)pid);
    for (int i = 0; i < len; i++)
        fprintf(st->out, "%02x", (unsigned char)title[i]);
    fprintf(st->out, "\t%lx\t", (unsigned long)(ULONG_PTR)hwnd);
    int lenW = GetWindowTextW(hwnd, titleW, 1024);
    for (int i = 0; i < lenW; i++)
        fprintf(st->out, "%02x%02x", titleW[i] & 0xff, (titleW[i] >> 8) & 0xff);
    fputc('\n', st->out);
    return TRUE;
}

int main(int argc, char **argv)
{
    if (argc < 2 || argc > 3) {
        fprintf(stderr, "usage: window_lister RESULT-FILE [CLASS]\n");
        return 2;
    }
    char partial[MAX_PATH + 16];
    snprintf(partial, sizeof partial, "%s.part", argv[1]);
    FILE *out = fopen(partial, "wb");
    if (!out)
        return 2;
    ListState st = {out, argc == 3 ? argv[2] : NULL};
    EnumWindows(ListProc, (LPARAM)&st);
    fclose(out);
    return MoveFileExA(partial, argv[1], MOVEFILE_REPLACE_EXISTING) ? 0 : 2;
}
