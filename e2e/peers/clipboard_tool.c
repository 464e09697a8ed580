/*
 * clipboard_tool: reads, sets, clears, holds and keeps the clipboard, for tests of a program
 * that puts text on it.
 *
 *   clipboard_tool read RESULT-FILE
 *       Writes a report on the clipboard's CF_TEXT into RESULT-FILE, one "key=value" a line:
 *         status=text | none | failed
 *         error=<GetLastError() of the step that failed>             (failed)
 *         formats=<the formats on the clipboard, decimal, comma-separated>
 *         size=<GlobalSize of the CF_TEXT block>                     (text)
 *         terminated=<1 when the block holds a NUL, else 0>          (text)
 *         text_hex=<the bytes before the first NUL, or the whole block when it holds none>
 *   clipboard_tool set TEXT | @FILE
 *       Puts TEXT, or the bytes of FILE, on the clipboard as CF_TEXT (followed by a NUL).
 *   clipboard_tool clear
 *       Empties the clipboard.
 *   clipboard_tool hold READY-FILE RELEASE-FILE [MAX-SECONDS]
 *       Opens the clipboard for a window of its own and keeps it open, so that no other
 *       program can open it, until RELEASE-FILE exists or MAX-SECONDS (default 30) have
 *       passed. READY-FILE holds "held" once the clipboard is open, or "failed <error>".
 *   clipboard_tool keep READY-FILE RELEASE-FILE [MAX-SECONDS]
 *       Stays on the desktop with a window of its own, without touching the clipboard, until
 *       RELEASE-FILE exists or MAX-SECONDS (default 3600) have passed. READY-FILE holds
 *       "kept" once the window exists. Under Wine the clipboard belongs to the desktop, which
 *       closes, clipboard and all, about a second after its last program has ended; a
 *       keeper lets a text outlive the program that set it for as long as a test needs.
 *
 * Another program may hold the clipboard for a moment, so opening it is tried again for up to
 * 2 s. Result and ready files are written beside their name and renamed into place.
 *
 * Exit code: 0 when done (read: CF_TEXT was there; hold, keep: released in time), 1 when the
 * clipboard could not be opened or read (hold, keep: MAX-SECONDS passed without a release),
 * 2 on a usage error or a file that cannot be read or written, 3 (read) when the clipboard
 * holds no CF_TEXT.
 */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define OPEN_RETRY_MS 2000

/* Every command opens the clipboard for a window of its own. Under Wine, OpenClipboard(NULL)
   succeeds while another process holds the clipboard open for no window, and its
   CloseClipboard then ends that process's hold too; opened for a window, the clipboard
   excludes others and is refused to them, as on Windows. */
static HWND MakeOwner(void)
{
    return CreateWindowExA(0, "STATIC", "clipboard_tool", WS_POPUP, 0, 0, 0, 0,
                           NULL, NULL, GetModuleHandleA(NULL), NULL);
}

static BOOL OpenWithRetry(HWND owner, DWORD *error)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (OpenClipboard(owner))
            return TRUE;
        *error = GetLastError();
        if (GetTickCount() - start >= OPEN_RETRY_MS)
            return FALSE;
        Sleep(20);
    }
}

static FILE *OpenPartial(const char *path, char *partial, size_t size)
{
    snprintf(partial, size, "%s.part", path);
    return fopen(partial, "wb");
}

static int Publish(FILE *f, const char *partial, const char *path)
{
    int ok = !ferror(f);
    ok = fclose(f) == 0 && ok;
    return ok && MoveFileExA(partial, path, MOVEFILE_REPLACE_EXISTING);
}

static int Read(const char *path)
{
    char partial[MAX_PATH + 16];
    FILE *out = OpenPartial(path, partial, sizeof partial);
    if (!out)
        return 2;
    HWND owner = MakeOwner();
    DWORD error = GetLastError();
    int rc;
    if (!owner || !OpenWithRetry(owner, &error)) {
        fprintf(out, "status=failed\nerror=%lu\n", (unsigned long)error);
        rc = 1;
    } else {
        fputs("formats=", out);
        UINT format = 0;
        for (int n = 0; (format = EnumClipboardFormats(format)) != 0; n++)
            fprintf(out, n ? ",%u" : "%u", format);
        fputc('\n', out);
        if (!IsClipboardFormatAvailable(CF_TEXT)) {
            fputs("status=none\n", out);
            rc = 3;
        } else {
            HANDLE block = GetClipboardData(CF_TEXT);
            const unsigned char *text = block ? GlobalLock(block) : NULL;
            if (!text) {
                fprintf(out, "status=failed\nerror=%lu\n", (unsigned long)GetLastError());
                rc = 1;
            } else {
                /* The block may lack its NUL: never look past its size. */
                SIZE_T size = GlobalSize(block);
                const unsigned char *end = memchr(text, 0, size);
                SIZE_T len = end ? (SIZE_T)(end - text) : size;
                fprintf(out, "status=text\nsize=%lu\nterminated=%d\ntext_hex=",
                        (unsigned long)size, end != NULL);
                for (SIZE_T i = 0; i < len; i++)
                    fprintf(out, "%02x", text[i]);
                fputc('\n', out);
                GlobalUnlock(block);
                rc = 0;
            }
        }
        CloseClipboard();
    }
    if (owner)
        DestroyWindow(owner);
    return Publish(out, partial, path) ? rc : 2;
}

/* The bytes to set: the argument itself, or the whole file named after an '@'. */
static char *LoadText(const char *arg, size_t *len)
{
    if (arg[0] != '@') {
        *len = strlen(arg);
        return _strdup(arg);
    }
    FILE *f = fopen(arg + 1, "rb");
    if (!f)
        return NULL;
    char *data = NULL;
    size_t used = 0, cap = 0, got;
    do {
        if (used == cap) {
            cap = cap ? cap * 2 : 4096;
            char *grown = realloc(data, cap);
            if (!grown) {
                free(data);
                fclose(f);
                return NULL;
            }
            data = grown;
        }
        got = fread(data + used, 1, cap - used, f);
        used += got;
    } while (got > 0);
    int failed = ferror(f);
    fclose(f);
    if (failed) {
        free(data);
        return NULL;
    }
    *len = used;
    return data ? data : _strdup("");
}

static int Set(const char *arg)
{
    size_t len = 0;
    char *text = LoadText(arg, &len);
    if (!text) {
        fprintf(stderr, "clipboard_tool: cannot read %s\n", arg);
        return 2;
    }
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, len + 1);
    char *copy = block ? GlobalLock(block) : NULL;
    if (!copy) {
        free(text);
        return 1;
    }
    memcpy(copy, text, len);
    copy[len] = 0;
    GlobalUnlock(block);
    free(text);

    HWND owner = MakeOwner();
    DWORD error = GetLastError();
    if (!owner || !OpenWithRetry(owner, &error)) {
        GlobalFree(block);
        fprintf(stderr, "clipboard_tool: cannot open the clipboard (error %lu)\n",
                (unsigned long)error);
        return 1;
    }
    int rc = 0;
    if (!EmptyClipboard() || !SetClipboardData(CF_TEXT, block)) {
        /* The clipboard owns the block only once SetClipboardData has succeeded. */
        GlobalFree(block);
        rc = 1;
    }
    CloseClipboard();
    DestroyWindow(owner);
    return rc;
}

static int Clear(void)
{
    HWND owner = MakeOwner();
    DWORD error = 0;
    if (!owner || !OpenWithRetry(owner, &error))
        return 1;
    int rc = EmptyClipboard() ? 0 : 1;
    CloseClipboard();
    DestroyWindow(owner);
    return rc;
}

static int WriteReady(const char *path, const char *text)
{
    char partial[MAX_PATH + 16];
    FILE *f = OpenPartial(path, partial, sizeof partial);
    if (!f)
        return 0;
    fputs(text, f);
    return Publish(f, partial, path);
}

/* Waits, answering the window's messages, until RELEASE-FILE exists (1) or time is up (0). */
static int WaitForRelease(const char *release, DWORD limitMs)
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start < limitMs) {
        if (GetFileAttributesA(release) != INVALID_FILE_ATTRIBUTES)
            return 1;
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        Sleep(20);
    }
    return 0;
}

static int Hold(const char *ready, const char *release, DWORD limitMs)
{
    HWND owner = MakeOwner();
    DWORD error = GetLastError();
    if (!owner || !OpenWithRetry(owner, &error)) {
        char text[64];
        snprintf(text, sizeof text, "failed %lu", (unsigned long)error);
        WriteReady(ready, text);
        return 2;
    }
    int rc = 2;
    if (WriteReady(ready, "held"))
        rc = WaitForRelease(release, limitMs) ? 0 : 1;
    CloseClipboard();
    DestroyWindow(owner);
    return rc;
}

static int Keep(const char *ready, const char *release, DWORD limitMs)
{
    HWND window = MakeOwner();
    if (!window) {
        char text[64];
        snprintf(text, sizeof text, "failed %lu", (unsigned long)GetLastError());
        WriteReady(ready, text);
        return 2;
    }
    int rc = 2;
    if (WriteReady(ready, "kept"))
        rc = WaitForRelease(release, limitMs) ? 0 : 1;
    DestroyWindow(window);
    return rc;
}

int main(int argc, char **argv)
{
    if (argc == 3 && strcmp(argv[1], "read") == 0)
        return Read(argv[2]);
    if (argc == 3 && strcmp(argv[1], "set") == 0)
        return Set(argv[2]);
    if (argc == 2 && strcmp(argv[1], "clear") == 0)
        return Clear();
    if ((argc == 4 || argc == 5) && strcmp(argv[1], "hold") == 0)
        return Hold(argv[2], argv[3], argc == 5 ? (DWORD)(atof(argv[4]) * 1000.0) : 30000);
    if ((argc == 4 || argc == 5) && strcmp(argv[1], "keep") == 0)
        return Keep(argv[2], argv[3], argc == 5 ? (DWORD)(atof(argv[4]) * 1000.0) : 3600000);
    fprintf(stderr, "usage: clipboard_tool read RESULT-FILE\n"
                    "       clipboard_tool set TEXT|@FILE\n"
                    "       clipboard_tool clear\n"
                    "       clipboard_tool hold READY-FILE RELEASE-FILE [MAX-SECONDS]\n"
                    "       clipboard_tool keep READY-FILE RELEASE-FILE [MAX-SECONDS]\n");
    return 2;
}
