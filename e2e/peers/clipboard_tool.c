/*
 * clipboard_tool: reads, sets, clears, holds and keeps the clipboard, for tests of a program
 * that puts text on it.
 *
 *   clipboard_tool read RESULT-FILE
 *       Writes a report on the clipboard's CF_TEXT and CF_UNICODETEXT into RESULT-FILE, one
 *       "key=value" a line:
 *         status=text | none | failed                                (CF_TEXT)
 *         error=<GetLastError() of the step that failed>             (failed)
 *         formats=<the formats on the clipboard, decimal, comma-separated, in the order
 *                  EnumClipboardFormats gives them, listed before anything is read>
 *         size=<GlobalSize of the CF_TEXT block>                     (text)
 *         terminated=<1 when the block holds a NUL, else 0>          (text)
 *         text_hex=<the bytes before the first NUL, or the whole block when it holds none>
 *         unicode_status=text | none | failed                        (CF_UNICODETEXT)
 *         unicode_error=<GetLastError()>                             (failed)
 *         unicode_size=<GlobalSize of the CF_UNICODETEXT block>      (text)
 *         unicode_terminated=<1 when the block holds a zero WCHAR, else 0>
 *         unicode_hex=<the UTF-16LE code units before the first zero one, as hex bytes>
 *       CF_TEXT is read first: when only one of the two was set, the other is what the system
 *       makes of it.
 *   clipboard_tool set TEXT | @FILE
 *       Puts TEXT, or the bytes of FILE, on the clipboard as CF_TEXT (followed by a NUL).
 *   clipboard_tool setw @FILE
 *       Puts the UTF-8 text of FILE, as UTF-16, on the clipboard as CF_UNICODETEXT alone
 *       (followed by a zero WCHAR). Invalid UTF-8 is refused (exit code 2).
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

/* Reports one text format under the given key prefix; returns 0 (text), 1 (failed) or
   3 (none). Text blocks are looked at within their size only: one may lack its zero. */
static int ReportText(FILE *out, UINT format, const char *prefix)
{
    static const char *const statusKey[] = {"status", "unicode_status"};
    int wide = format == CF_UNICODETEXT;
    if (!IsClipboardFormatAvailable(format)) {
        fprintf(out, "%s=none\n", statusKey[wide]);
        return 3;
    }
    HANDLE block = GetClipboardData(format);
    const unsigned char *data = block ? GlobalLock(block) : NULL;
    if (!data) {
        fprintf(out, "%s=failed\n%serror=%lu\n", statusKey[wide], prefix,
                (unsigned long)GetLastError());
        return 1;
    }
    SIZE_T size = GlobalSize(block);
    SIZE_T unit = wide ? 2 : 1, len = 0;
    int terminated = 0;
    for (; len + unit <= size; len += unit) {
        if (data[len] == 0 && (!wide || data[len + 1] == 0)) {
            terminated = 1;
            break;
        }
    }
    if (!terminated)
        len = size - size % unit;
    fprintf(out, "%s=text\n%ssize=%lu\n%sterminated=%d\n%s=", statusKey[wide], prefix,
            (unsigned long)size, prefix, terminated, wide ? "unicode_hex" : "text_hex");
    for (SIZE_T i = 0; i < len; i++)
        fprintf(out, "%02x", data[i]);
    fputc('\n', out);
    GlobalUnlock(block);
    return 0;
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
        rc = ReportText(out, CF_TEXT, "");
        ReportText(out, CF_UNICODETEXT, "unicode_");
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

/* Puts the block on the clipboard as the only format; frees it when that fails. */
static int Put(UINT format, HGLOBAL block)
{
    HWND owner = MakeOwner();
    DWORD error = GetLastError();
    if (!owner || !OpenWithRetry(owner, &error)) {
        GlobalFree(block);
        fprintf(stderr, "clipboard_tool: cannot open the clipboard (error %lu)\n",
                (unsigned long)error);
        if (owner)
            DestroyWindow(owner);
        return 1;
    }
    int rc = 0;
    if (!EmptyClipboard() || !SetClipboardData(format, block)) {
        /* The clipboard owns the block only once SetClipboardData has succeeded. */
        GlobalFree(block);
        rc = 1;
    }
    CloseClipboard();
    DestroyWindow(owner);
    return rc;
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
        if (block)
            GlobalFree(block);
        free(text);
        return 1;
    }
    memcpy(copy, text, len);
    copy[len] = 0;
    GlobalUnlock(block);
    free(text);
    return Put(CF_TEXT, block);
}

static int SetWide(const char *arg)
{
    size_t len = 0;
    char *text = arg[0] == '@' ? LoadText(arg, &len) : NULL;
    if (!text || len > 0x7fffffff) {
        fprintf(stderr, "clipboard_tool: setw needs @FILE, and a file it can read: %s\n", arg);
        free(text);
        return 2;
    }
    int units = len ? MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, (int)len, NULL, 0)
                    : 0;
    if (len && units == 0) {
        fprintf(stderr, "clipboard_tool: %s is not valid UTF-8\n", arg + 1);
        free(text);
        return 2;
    }
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, ((size_t)units + 1) * sizeof(WCHAR));
    WCHAR *copy = block ? GlobalLock(block) : NULL;
    if (!copy) {
        if (block)
            GlobalFree(block);
        free(text);
        return 1;
    }
    if (units)
        MultiByteToWideChar(CP_UTF8, 0, text, (int)len, copy, units);
    copy[units] = 0;
    GlobalUnlock(block);
    free(text);
    return Put(CF_UNICODETEXT, block);
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
    if (argc == 3 && strcmp(argv[1], "setw") == 0)
        return SetWide(argv[2]);
    if (argc == 2 && strcmp(argv[1], "clear") == 0)
        return Clear();
    if ((argc == 4 || argc == 5) && strcmp(argv[1], "hold") == 0)
        return Hold(argv[2], argv[3], argc == 5 ? (DWORD)(atof(argv[4]) * 1000.0) : 30000);
    if ((argc == 4 || argc == 5) && strcmp(argv[1], "keep") == 0)
        return Keep(argv[2], argv[3], argc == 5 ? (DWORD)(atof(argv[4]) * 1000.0) : 3600000);
    fprintf(stderr, "usage: clipboard_tool read RESULT-FILE\n"
                    "       clipboard_tool set TEXT|@FILE\n"
                    "       clipboard_tool setw @FILE\n"
                    "       clipboard_tool clear\n"
                    "       clipboard_tool hold READY-FILE RELEASE-FILE [MAX-SECONDS]\n"
                    "       clipboard_tool keep READY-FILE RELEASE-FILE [MAX-SECONDS]\n");
    return 2;
}
